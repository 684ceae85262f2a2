#include <unistd.h>
#include <climits>
#include <string>

#include "entry/block_identity.h"
#include "sim/kqhost/cli/commands.h"

namespace kqhost {

std::string defaultBlockPath() {
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        return kBlockName + std::string(".so");
    }
    std::string path(self, static_cast<size_t>(length));
    const size_t slash = path.rfind('/');
    return path.substr(0, slash + 1) + kBlockName + ".so";
}

}  // namespace kqhost
