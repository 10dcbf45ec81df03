#pragma once
// Writing a file the user named as a careful editor does: the file stays
// the user's (its mode, owner, group, links), a failed save never destroys
// what it held before, and nothing is left behind.

#include <functional>
#include <string>
#include <string_view>

#include "core/posix.h"

namespace pelmora {

inline constexpr const char* kFailedToSaveStream = "Failed to Save Stream";

// "Cannot open file "<path>". <text>" and "Cannot create file "<path>". <text>".
std::string CannotOpenMessage(std::string_view path, int err);
std::string CannotCreateMessage(std::string_view path, int err);

// `path` with "." and `extension` appended when its file name has no
// extension ("values" -> "values.TXT"; "values.txt" stays).
std::string AddDefaultExtension(std::string path, std::string_view extension);

// The points of a save that a test may stop at (see SaveWatch).
enum class SaveStep {
    CopyComplete,    // the new text is in a file of its own, on the disk, not yet named
    WrittenInPlace,  // the new text is over the old one, the old tail not yet cut
};

// What a test can ask of a save: to be told of each step reached (and end
// the process there), and to use a named temporary file as on a file system
// without unnamed ones.
struct SaveWatch {
    std::function<void(SaveStep)> reached;
    bool namedTemporary = false;
};

// Replaces the content of the file `path` by `data`.
//
// The file is first opened for writing, without changing it, so that the
// user's right to write it is what counts: a file that may not be written
// fails with CannotCreateMessage and the system's reason, whatever its
// folder allows. A symbolic link is followed, also to a target that does not
// exist yet, which is then created.
//
// A regular file is replaced by a complete copy: the new text goes into an
// unnamed file in the same folder (O_TMPFILE; a short hidden name where the
// file system has none), which is flushed to the disk and given the old
// file's mode, owner and group before it takes the old name, so a crash
// leaves the old file and nothing else. Where the copy cannot keep what the
// file is -- another name links to it, its owner or group cannot be given to
// the copy, the folder refuses a new file or the rename (a sticky folder),
// or the disk has no room for both -- the text is written over the old one
// in place and only then is the old tail cut off; a failed write puts the
// old text back when it may be read. A target that is not a regular file (a
// device, a FIFO with a reader) is written in place; a FIFO without a
// reader and a directory are refused. The folder is flushed after the name
// changes. SIGXFSZ is ignored while a save runs, so a write beyond the file
// size limit fails instead of ending the program.
//
// Failures throw pelmora::Error: CannotCreateMessage(path, errno) when the
// file cannot be opened or created, kFailedToSaveStream when writing fails.
void SaveFile(const std::string& path, std::string_view data, const SaveWatch& watch = {});

}  // namespace pelmora
