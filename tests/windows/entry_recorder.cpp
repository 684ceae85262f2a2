// A loader entry for test libraries: it counts the reasons the loader calls it with, then hands
// over to the DllMain linked beside it. Linked, like the block library, with no C runtime start-up
// code, so that the loader sees the same kind of library.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE library, DWORD reason, LPVOID reserved);

namespace {
volatile LONG gEntryCalls[DLL_THREAD_DETACH + 1];
}  // namespace

extern "C" BOOL WINAPI recordingEntry(HINSTANCE library, DWORD reason, LPVOID reserved) {
    if (reason <= DLL_THREAD_DETACH) {
        InterlockedIncrement(&gEntryCalls[reason]);
    }
    return DllMain(library, reason, reserved);
}

// How many times the loader entered the library with `reason`.
extern "C" __declspec(dllexport) LONG entryCalls(DWORD reason) {
    return reason <= DLL_THREAD_DETACH ? gEntryCalls[reason] : -1;
}
