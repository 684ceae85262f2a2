// Threads started after the block library is loaded never enter it. The block's DllMain is linked
// into a test library behind an entry that counts the loader's calls; a twin library whose DllMain
// does nothing shows that this loader does deliver thread notifications to a library that keeps
// them on.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

namespace {

struct EntryCase {
    const char* name;
    const char* path;
    bool notificationsOn;
};

using EntryCalls = LONG (*)(DWORD);

// One thread through the C++ library and one through the system, both started and ended after the
// load.
void startAndEndTwoThreads() {
    std::thread([] {}).join();
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

class ThreadNotifications : public ::testing::TestWithParam<EntryCase> {};

TEST_P(ThreadNotifications, ReachTheEntryOnlyWhenLeftOn) {
    const EntryCase& c = GetParam();
    HMODULE library = LoadLibraryA(c.path);
    ASSERT_NE(library, nullptr) << c.path << ": error " << GetLastError();
    const auto entryCalls = reinterpret_cast<EntryCalls>(
        reinterpret_cast<void*>(GetProcAddress(library, "entryCalls")));
    ASSERT_NE(entryCalls, nullptr);
    EXPECT_EQ(entryCalls(DLL_PROCESS_ATTACH), 1);

    startAndEndTwoThreads();
    if (c.notificationsOn) {
        EXPECT_GE(entryCalls(DLL_THREAD_ATTACH), 2);
        EXPECT_GE(entryCalls(DLL_THREAD_DETACH), 2);
    } else {
        EXPECT_EQ(entryCalls(DLL_THREAD_ATTACH), 0);
        EXPECT_EQ(entryCalls(DLL_THREAD_DETACH), 0);
    }
    EXPECT_EQ(entryCalls(DLL_PROCESS_DETACH), 0);
    EXPECT_NE(FreeLibrary(library), 0);
}

INSTANTIATE_TEST_SUITE_P(Libraries, ThreadNotifications,
                         ::testing::Values(EntryCase{"BlockDllMain", KQ_BLOCK_ENTRY_DLL, false},
                                           EntryCase{"InertDllMain", KQ_INERT_ENTRY_DLL, true}),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

}  // namespace
