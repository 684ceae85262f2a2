// An output file that appears under its name only when it is complete, so that a failed run never
// leaves a partial file behind (and never clobbers an earlier good one). The bytes go to a
// temporary file created next to the target, in the same folder so that the final rename is
// atomic; commit() renames it onto the target, and the destructor removes it otherwise.
#ifndef KQ_SIM_KQHOST_ATOMIC_OUTPUT_FILE_H
#define KQ_SIM_KQHOST_ATOMIC_OUTPUT_FILE_H

#include <cstddef>
#include <string>

#include "sim/kqhost/file_descriptor.h"

namespace kqhost {

class AtomicOutputFile {
public:
    // Creates the temporary file ".NAME.XXXXXX" beside `path`. Throws KqhostError
    // "PATH: cannot write: REASON" when the folder is missing or not writable.
    explicit AtomicOutputFile(std::string path);
    // Removes the temporary file unless commit() succeeded.
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Appends the bytes (unbuffered: callers hand over large blocks). Throws KqhostError
    // "PATH: cannot write: REASON".
    void write(const char* data, std::size_t size);

    // Closes the temporary file, gives it the permissions of a newly created file and renames it
    // onto the path, replacing any file there. Throws KqhostError "PATH: cannot write: REASON".
    // Nothing may be written after it.
    void commit();

    const std::string& path() const { return path_; }
    const std::string& temporaryPath() const { return temporaryPath_; }

private:
    std::string path_;
    std::string temporaryPath_;
    FileDescriptor file_;
    bool committed_ = false;
};

}  // namespace kqhost

#endif
