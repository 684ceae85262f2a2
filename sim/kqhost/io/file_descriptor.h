// File descriptors for kqhost's signal and plot files: ownership, and reads and writes
// that retry after interruptions and report failures as KqhostError naming the file.
#ifndef KQ_SIM_KQHOST_IO_FILE_DESCRIPTOR_H
#define KQ_SIM_KQHOST_IO_FILE_DESCRIPTOR_H

#include <cstddef>
#include <string>

namespace kq::kqhost {

// An open descriptor, closed at destruction when owned; a borrowed one (standard input or
// output) is left open.
class FileDescriptor {
  public:
    FileDescriptor() = default;
    FileDescriptor(int fd, bool owned) : fd_(fd), owned_(owned) {}
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }

    // Closes an owned descriptor now; returns 0, or the errno of a failed close (which can be
    // the first report of a failed write).
    int close();

  private:
    int fd_ = -1;
    bool owned_ = false;
};

// The message text of an errno value.
std::string errnoText(int error);

// Reads until `size` bytes or the end of the file; returns the count read (less than `size` only
// at the end). Throws KqhostError "NAME: cannot read: REASON".
std::size_t readFully(int fd, char* data, std::size_t size, const std::string& name);

// Writes all `size` bytes. Throws KqhostError "NAME: cannot write: REASON".
void writeAll(int fd, const char* data, std::size_t size, const std::string& name);

}  // namespace kq::kqhost

#endif
