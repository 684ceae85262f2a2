#include <filesystem>
#include <string>
#include <system_error>

#include "sim/kqhost/cli/commands.h"
#include "sim/kqhost/cli/kqhost_defaults.h"
#include "sim/platform/dynamic_library.h"
#include "sim/platform/executable_path.h"

namespace kq::kqhost {

// Beside kqhost in the build tree (and on Windows, where a program's libraries sit beside it);
// in an installed tree kqhost is in bin/ and the block in its private folder,
// KQ_BLOCKDIR_FROM_BINDIR from there (lib/<triplet>/kqphasefix2 on Debian). The first that exists,
// else the one beside kqhost, so that the error names a path in kqhost's own folder.
std::string defaultBlockPath() {
    const std::string name = std::string(kDefaultBlockName) + kq::platform::libraryFileSuffix();
    const std::filesystem::path self = kq::platform::executablePath();
    if (self.empty()) {
        return name;
    }
    const std::filesystem::path beside = self.parent_path() / name;
    const std::filesystem::path installed =
        (self.parent_path() / KQ_BLOCKDIR_FROM_BINDIR / name).lexically_normal();
    std::error_code ignored;
    if (!std::filesystem::exists(beside, ignored) && std::filesystem::exists(installed, ignored)) {
        return installed.string();
    }
    return beside.string();
}

}  // namespace kq::kqhost
