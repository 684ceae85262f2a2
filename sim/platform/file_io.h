// Files as C runtime descriptors, which POSIX and Windows both have: opening a file for reading,
// single reads and writes, the size of a regular file, and standard streams that carry bytes as
// they are.
#ifndef KQ_SIM_PLATFORM_FILE_IO_H
#define KQ_SIM_PLATFORM_FILE_IO_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kq::platform {

constexpr int kStandardInput = 0;
constexpr int kStandardOutput = 1;

// Opens an existing file for reading, as bytes and not inherited by child processes. Returns the
// descriptor, or -1 with errno set; a folder is refused with EISDIR.
int openForReading(const std::string& path);

// One read (up to `size` bytes) or one write: the count moved (0 at the end of a file), or -1 with
// errno set (EINTR included: the caller retries).
std::ptrdiff_t readSome(int fd, void* data, std::size_t size);
std::ptrdiff_t writeSome(int fd, const void* data, std::size_t size);

// Closes the descriptor: 0, or -1 with errno set (which can be the first report of a failed write).
int closeFile(int fd);

// The size of a regular file; nothing for a pipe, a terminal or a device.
std::optional<std::uint64_t> regularFileSize(int fd);

// Asks the file system to set aside room for the first `bytes` bytes of a file being written,
// without changing its size, so that the writes need not find room piece by piece. Only a hint:
// where the system or the file system cannot, nothing happens. releaseSpaceBeyond gives back
// whatever such a reservation left past `size`, the file's final length.
void reserveFileSpace(int fd, std::uint64_t bytes);
void releaseSpaceBeyond(int fd, std::uint64_t size);

// Standard input, output and error carry bytes unchanged from here on (Windows would otherwise
// turn line feeds into carriage return and line feed, and stop reading at a Ctrl-Z).
void useBinaryStandardStreams();

}  // namespace kq::platform

#endif
