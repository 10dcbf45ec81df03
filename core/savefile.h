#pragma once
// Writing a file the user named as a careful editor does: only where the
// user could write it from the shell, the file stays what it was (mode,
// owner, group, ACL, attributes, links), a failed save never destroys what
// it held before, and nothing is left behind.

#include <functional>
#include <string>
#include <string_view>

#include "core/posix.h"

namespace pelmora {

inline constexpr const char* kFailedToSaveStream = "Failed to Save Stream";

// "Cannot open file "<path>". <text>" and "Cannot create file "<path>". <text>",
// the text being the system's for `err`, or `reason`.
std::string CannotOpenMessage(std::string_view path, int err);
std::string CannotCreateMessage(std::string_view path, int err);
std::string CannotCreateMessage(std::string_view path, std::string_view reason);

// `path` with "." and `extension` appended when its file name has no
// extension ("values" -> "values.TXT"; "values.txt" stays).
std::string AddDefaultExtension(std::string path, std::string_view extension);

// Whether `folder` lies on a file system of the kernel's own (/proc, /sys,
// /dev, debugfs, cgroups...), whose files are not documents and where
// merely looking at a file can block (/proc/kmsg). The save dialog is never
// opened in one. False where `folder` cannot be looked at.
bool OnPseudoFileSystem(const std::string& folder);

// The reason given when the name is taken by something other than a
// regular file: a FIFO, a socket, a device (other than /dev/null, /dev/zero
// and /dev/full, which a user may name to throw a document away or to try a
// full disk).
inline constexpr const char* kNotRegularFile = "Not a regular file";

// The points of a save that a test may stop at (see SaveWatch).
enum class SaveStep {
    CopyComplete,    // the new text is in a file of its own, on the disk, not yet named
    CopyLinked,      // that file has a hidden name beside the old one, not yet the old one's
    WrittenInPlace,  // the new text is over the old one, blanks after its end where the old was longer
};

// What a test can ask of a save: to be told of each step reached (and end
// the process there), and to use a named temporary file as on a file system
// without unnamed ones.
struct SaveWatch {
    std::function<void(SaveStep)> reached;
    bool namedTemporary = false;
};

// Replaces the content of the file `path` by `data`, where the user's own
// `open(path, O_WRONLY | O_CREAT)` would be allowed, and never elsewhere.
//
// The path is looked up one name at a time, each by the kernel from the
// folder before it (openat without following), so what is checked is what
// is used. Symbolic links are followed, also to a target that does not
// exist yet (which is then created), except where the kernel's link
// protection would refuse them: a link in a sticky folder that others may
// write, owned neither by this user nor by the folder's owner (anywhere in
// the path, where the kernel looks at the last link only). An existing
// regular file or FIFO in a sticky folder that others (or its group) may
// write, owned neither by this user nor by the folder's owner, is refused
// the same way. These rules hold whatever fs.protected_symlinks,
// fs.protected_regular and fs.protected_fifos say; they fail with
// CannotCreateMessage and "Permission denied". The file itself is opened
// with O_CREAT through the kernel, so its permission bits and, where they
// are on, the kernel's own protections decide too. A FIFO, a socket or a
// device other than the three above is refused with kNotRegularFile before
// it is opened: nothing is written to a reader, and nothing waits.
//
// A regular file is replaced by a complete copy: the new text goes into an
// unnamed file in the same folder (O_TMPFILE; a short hidden name where the
// file system has none), which gets the old file's owner, group, access
// ACL, extended attributes and mode, takes the space it needs (fallocate)
// and is flushed to the disk before it takes the old name; then the folder
// is flushed. Where the copy cannot keep what the file is -- another name
// links to it, its owner, group, ACL or an attribute cannot be given to
// the copy, the folder refuses a new file or the rename (a sticky folder),
// or the disk has no room for both -- the text is written over the old one
// in place: the space is taken first, so a full disk fails before the old
// text is touched; a shorter text is followed by line breaks up to the old
// length (blanks after the document's end), flushed, and only then is the
// file cut to the new length. A failed write puts the old text back when it
// may be read. A crash leaves the old file or the new one: at worst a
// hidden name of a process that is gone, which the next save in that
// folder removes. SIGXFSZ and SIGPIPE are ignored while a save runs.
//
// Failures throw pelmora::Error: CannotCreateMessage(path, errno) (or with
// kNotRegularFile) when the file cannot be opened or created,
// kFailedToSaveStream when writing fails.
void SaveFile(const std::string& path, std::string_view data, const SaveWatch& watch = {});

}  // namespace pelmora
