#include <filesystem>
#include <string>

#include "sim/kqhost/cli/commands.h"
#include "sim/platform/dynamic_library.h"
#include "sim/platform/executable_path.h"

namespace kqhost {

std::string defaultBlockPath() {
    const std::string name = std::string("kqphasefix2") + kq::platform::libraryFileSuffix();
    const std::filesystem::path self = kq::platform::executablePath();
    return self.empty() ? name : (self.parent_path() / name).string();
}

}  // namespace kqhost
