#pragma once
// Writing a file the user named, so that a failed save never destroys what
// the file held before.

#include <string>
#include <string_view>

namespace pelmora {

inline constexpr const char* kFailedToSaveStream = "Failed to Save Stream";

// The operating system's text for an error number, without trailing blanks
// and periods.
std::string SystemErrorText(int err);

// "Cannot open file "<path>". <text>" and "Cannot create file "<path>". <text>".
std::string CannotOpenMessage(std::string_view path, int err);
std::string CannotCreateMessage(std::string_view path, int err);

// `path` with "." and `extension` appended when its file name has no
// extension ("values" -> "values.TXT"; "values.txt" stays).
std::string AddDefaultExtension(std::string path, std::string_view extension);

// Replaces the file `path` by `data`. A regular file (or a new one) is written
// to a temporary file beside it, flushed to the disk, and only then renamed
// over the old one, which therefore survives any failure intact; a symbolic
// link is followed and the file it names is replaced. A target that exists
// and is not a regular file (a device such as /dev/null or /dev/full, a FIFO
// with a reader) is written in place and never replaced; a directory is
// refused. When the folder does not let us create the temporary file but the
// existing file itself is writable, the file is written in place; should
// that write fail, the old content (when we may read it) is written back.
// A write beyond the process's file size limit is a failure, not the end of
// the program: SIGXFSZ is ignored while a save runs.
// Failures throw pelmora::Error: CannotCreateMessage(path, errno) when the
// file cannot be created or opened, kFailedToSaveStream when writing fails.
void SaveFile(const std::string& path, std::string_view data);

}  // namespace pelmora
