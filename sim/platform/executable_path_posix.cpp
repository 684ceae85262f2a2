#include "sim/platform/executable_path.h"

#include <unistd.h>

#include <climits>
#include <string>

namespace kq::platform {

std::filesystem::path executablePath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return {};
    }
    return std::string(self, static_cast<std::size_t>(length));
}

}  // namespace kq::platform
