#include "sim/platform/terminal.h"

#include <unistd.h>

namespace kq::platform {

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

}  // namespace kq::platform
