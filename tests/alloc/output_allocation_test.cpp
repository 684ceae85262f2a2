// The output hook allocates nothing: every allocation route the block's code could take is
// counted while output steps run, after a start that did allocate.
#include <gtest/gtest.h>

#include <cstddef>

#include "block_test_support.h"

// Thread-local, so that only the test's own thread is counted. MinGW emulates thread-local storage
// with malloc, which would come back here: there they are plain globals (the test runs on one
// thread).
#ifdef _WIN32
#define KQ_COUNTER_STORAGE
#else
#define KQ_COUNTER_STORAGE thread_local
#endif

namespace {
KQ_COUNTER_STORAGE bool tCounting = false;
KQ_COUNTER_STORAGE long tAllocations = 0;

void noteAllocation() {
    if (tCounting) {
        ++tAllocations;
    }
}
}  // namespace

// Linked with --wrap for each of these, so the calls made by the block's objects (linked into this
// program) come here first.
extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* p, size_t size);
void* __real_tqCalloc(BlockInstance* instance, size_t count, size_t size);
void* __real_vzCalloc(size_t count, size_t size);

void* __wrap_malloc(size_t size) {
    noteAllocation();
    return __real_malloc(size);
}
void* __wrap_calloc(size_t count, size_t size) {
    noteAllocation();
    return __real_calloc(count, size);
}
void* __wrap_realloc(void* p, size_t size) {
    noteAllocation();
    return __real_realloc(p, size);
}
void* __wrap_tqCalloc(BlockInstance* instance, size_t count, size_t size) {
    noteAllocation();
    return __real_tqCalloc(instance, count, size);
}
void* __wrap_vzCalloc(size_t count, size_t size) {
    noteAllocation();
    return __real_vzCalloc(count, size);
}
// operator new(size_t) and operator new[](size_t), mangled after size_t.
#ifdef _WIN32
void* __real__Znwy(size_t size);
void* __real__Znay(size_t size);
void* __wrap__Znwy(size_t size) {
    noteAllocation();
    return __real__Znwy(size);
}
void* __wrap__Znay(size_t size) {
    noteAllocation();
    return __real__Znay(size);
}
#else
void* __real__Znwm(size_t size);
void* __real__Znam(size_t size);
void* __wrap__Znwm(size_t size) {
    noteAllocation();
    return __real__Znwm(size);
}
void* __wrap__Znam(size_t size) {
    noteAllocation();
    return __real__Znam(size);
}
#endif
}

namespace {

class OutputAllocation : public ::testing::TestWithParam<kq::test::InstanceShape> {};

TEST_P(OutputAllocation, OutputStepsAllocateNothingAfterStart) {
    kq::test::BlockHost host;
    kq::test::TerminateAtEnd terminate(host);
    tAllocations = 0;
    tCounting = true;
    const std::string started = kq::test::startInstance(host, GetParam());
    tCounting = false;
    ASSERT_EQ(started, "");
    EXPECT_GT(tAllocations, 0);  // start took its record, so the counting does see the block

    // The host's flag array is made before counting: only the block's work is counted.
    vzArray* flag = vzCreateDoubleScalar(kFlagOutputs);
    vzArray* leftArgs[2] = {nullptr, reinterpret_cast<vzArray*>(host.block())};
    const vzArray* rightArgs[4] = {nullptr, nullptr, nullptr, flag};
    tAllocations = 0;
    tCounting = true;
    for (int i = 0; i < 1000; ++i) {
        kvxFunction(-1, leftArgs, 4, rightArgs);
    }
    tCounting = false;
    vzDestroyArray(flag);
    EXPECT_EQ(tAllocations, 0);
    EXPECT_EQ(host.takeErrorStatus(), "");
}

INSTANTIATE_TEST_SUITE_P(EveryKernelFamily, OutputAllocation,
                         ::testing::Values(kq::test::InstanceShape{{1, 1}, 0, 0, 0.0, false},
                                           kq::test::InstanceShape{{2, 3}, 0, 1, 0.0, true},
                                           kq::test::InstanceShape{{64, 4}, 1, 0, 0.0, false},
                                           kq::test::InstanceShape{{64, 4}, 1, 1, 1.0, true},
                                           kq::test::InstanceShape{{1, 8}, 0, 0, 1.0, false},
                                           kq::test::InstanceShape{{16}, 0, 1, 0.0, false}));

}  // namespace
