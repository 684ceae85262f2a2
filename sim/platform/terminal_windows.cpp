#include "sim/platform/terminal.h"

#include <windows.h>

namespace kq::platform {

bool standardErrorIsTerminal() {
    // The runtime's isatty is true for any character device, the NUL device included; only a
    // console has a console mode. Escapes need its virtual-terminal processing, which a console
    // older than Windows 10 lacks.
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (error == INVALID_HANDLE_VALUE || error == nullptr || GetConsoleMode(error, &mode) == 0) {
        return false;
    }
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace kq::platform
