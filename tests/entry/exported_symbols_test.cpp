#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// The loadable block exports exactly one function, kvxFunction.
TEST(ExportedSymbols, KvxFunctionIsTheOnlyExport) {
    void* handle = dlopen(KQ_BLOCK_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_NE(dlsym(handle, "kvxFunction"), nullptr);
    EXPECT_EQ(dlsym(handle, "hookOutputs"), nullptr);
    dlclose(handle);

    const std::string command = std::string("nm -D --defined-only ") + KQ_BLOCK_MODULE_PATH;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_NE(pipe, nullptr);
    std::string exported;
    char line[512];
    while (fgets(line, sizeof line, pipe.get()) != nullptr) {
        char address[64], type[8], name[400];
        if (std::sscanf(line, "%63s %7s %399s", address, type, name) == 3 &&
            std::string("TWDBRV").find(type[0]) != std::string::npos) {
            exported += std::string(name) + " ";
        }
    }
    EXPECT_EQ(exported, "kvxFunction ");
}

}  // namespace
