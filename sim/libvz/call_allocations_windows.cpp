// MinGW's thread_local is emulated, and at thread exit its storage can be freed before the
// object's destructor runs (the two happen in different libraries' exit notifications). The list
// lives in a slot of the system's thread-local storage instead, and libvz's own DllMain releases
// it when the thread ends.
#include <windows.h>

#include "sim/libvz/call_allocations.h"

namespace {

DWORD gSlot = TLS_OUT_OF_INDEXES;  // written once, at load

void releaseThisThreadsList() {
    if (gSlot == TLS_OUT_OF_INDEXES) {
        return;
    }
    delete static_cast<kq::sim::CallAllocations*>(TlsGetValue(gSlot));
    TlsSetValue(gSlot, nullptr);
}

}  // namespace

namespace kq::sim {

CallAllocations& threadCallAllocations() {
    auto* allocations = static_cast<CallAllocations*>(TlsGetValue(gSlot));
    if (allocations == nullptr) {
        allocations = new CallAllocations;
        TlsSetValue(gSlot, allocations);
    }
    return *allocations;
}

}  // namespace kq::sim

extern "C" BOOL WINAPI DllMain(HINSTANCE /*library*/, DWORD reason, LPVOID /*reserved*/) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            gSlot = TlsAlloc();
            return gSlot != TLS_OUT_OF_INDEXES;
        case DLL_THREAD_DETACH:
            releaseThisThreadsList();
            return TRUE;
        case DLL_PROCESS_DETACH:
            releaseThisThreadsList();
            TlsFree(gSlot);
            return TRUE;
        default:
            return TRUE;
    }
}
