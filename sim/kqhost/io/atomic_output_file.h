// An output file that appears under its name only when it is complete, so that a failed run never
// leaves a partial file behind (and never clobbers an earlier good one). The bytes go to a
// temporary file created next to the target, in the same folder so that the final rename is
// atomic; commit() renames it onto the target, and the destructor removes it otherwise.
#ifndef KQ_SIM_KQHOST_IO_ATOMIC_OUTPUT_FILE_H
#define KQ_SIM_KQHOST_IO_ATOMIC_OUTPUT_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/kqhost/io/file_descriptor.h"

namespace kq::kqhost {

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
    // "PATH: cannot write: REASON", and then the temporary file is already gone.
    void write(const char* data, std::size_t size);

    // A hint that about `bytes` bytes will be written: the file system may set aside room for
    // them up front. Room left unused is given back at commit().
    void reserve(std::uint64_t bytes);

    // Closes the temporary file, gives it the permissions of a newly created file and renames it
    // onto the path, replacing any file there. Throws KqhostError "PATH: cannot write: REASON",
    // and then the temporary file is already gone. Nothing may be written after it.
    void commit();

    const std::string& path() const { return path_; }

  private:
    // Closes and removes the temporary file, if there still is one.
    void discard();

    std::string path_;
    std::string temporaryPath_;  // empty once committed or discarded
    FileDescriptor file_;
    std::uint64_t written_ = 0;
    std::uint64_t reserved_ = 0;
};

}  // namespace kq::kqhost

#endif
