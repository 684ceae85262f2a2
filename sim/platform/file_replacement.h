// A file written under a fresh name and then moved onto its real name in one step, so that the
// name never shows a partial file.
#ifndef KQ_SIM_PLATFORM_FILE_REPLACEMENT_H
#define KQ_SIM_PLATFORM_FILE_REPLACEMENT_H

#include <string>

namespace kq::platform {

// Creates a new, empty file for writing (as bytes, not inherited by child processes) named
// `pattern` with its trailing "XXXXXX" replaced so that the name is new; `pattern` becomes that
// name. The file is readable and writable by its owner only. Returns the descriptor, or -1 with
// errno set.
int createUniqueFile(std::string& pattern);

// Gives an open file the permissions that creating it under its final name would have given it:
// mode 0666 less the umask on POSIX; nothing on Windows, whose files carry no such bits.
// Returns 0, or an errno value.
int giveNewFilePermissions(int fd);

// Moves the closed file `from` onto `to` in one step, replacing any file there. Returns 0, or an
// errno value (EISDIR when `to` is a folder).
int replaceFile(const std::string& from, const std::string& to);

// Removes the file; failures are not reported (it is cleanup).
void removeFile(const std::string& path);

}  // namespace kq::platform

#endif
