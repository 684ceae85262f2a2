// Where the running program's own file is, so that it can find the files installed beside it.
#ifndef KQ_SIM_PLATFORM_EXECUTABLE_PATH_H
#define KQ_SIM_PLATFORM_EXECUTABLE_PATH_H

#include <filesystem>

namespace kq::platform {

// The absolute path of the running program's file; empty when the system does not say.
std::filesystem::path executablePath();

}  // namespace kq::platform

#endif
