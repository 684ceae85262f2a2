#include "sim/platform/executable_path.h"

#include <windows.h>

#include <vector>

namespace kq::platform {

std::filesystem::path executablePath() {
    // GetModuleFileName truncates silently; a result that fills the buffer may be cut short.
    std::vector<wchar_t> self(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length == 0) {
            return {};
        }
        if (length < self.size()) {
            return std::wstring(self.data(), length);
        }
        self.resize(self.size() * 2);
    }
}

}  // namespace kq::platform
