// The one kind of error that kqhost reports to its user: a one-line message that names the file
// (and, for text input, the line and column) and says what is wrong. main() prints it after the
// program's name and exits with a failure status.
#ifndef KQ_SIM_KQHOST_IO_KQHOST_ERROR_H
#define KQ_SIM_KQHOST_IO_KQHOST_ERROR_H

#include <stdexcept>
#include <string>

namespace kq::kqhost {

struct KqhostError : std::runtime_error {
    explicit KqhostError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace kq::kqhost

#endif
