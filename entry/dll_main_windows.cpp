// The Windows loader's entry into the block library. The block keeps no per-thread state, so
// threads that the host starts after the load have no business in the library: their attach and
// detach notifications are turned off. Nothing else happens at load or unload: the library is
// linked with DllMain itself as its entry point, without the C runtime's start-up code (which would
// run constructors at load, handlers at unload, and bring a thread-local storage directory, for
// which the loader ignores DisableThreadLibraryCalls).
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE library, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(library);
    }
    return TRUE;
}

// With no start-up code there is no list of handlers to run at unload, so none is kept. The C
// runtime's number formatting links to atexit (to free its locks at exit); the block formats only
// text, so nothing ever gets here.
extern "C" int atexit(void (* /*handler*/)(void)) {
    return 0;
}
