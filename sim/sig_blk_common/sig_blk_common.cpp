// libsig_blk_common: the shared block-support routines of host/sig_blk_common.h, as the stand-in
// host provides them. Messages go through setErrorStatus, which stores them by reference, so every
// message is a constant text of this library.

#include "host/sig_blk_common.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "host/data_types.h"
#include "sim/sig_blk_common/sig_blk_host.h"

namespace {

// One text per expected count, since the stored message must outlive the call.
constexpr const char* kExpectedParamsMessages[] = {
    "Block expects 0 dialog parameters", "Block expects 1 dialog parameter",
    "Block expects 2 dialog parameters", "Block expects 3 dialog parameters",
    "Block expects 4 dialog parameters", "Block expects 5 dialog parameters",
    "Block expects 6 dialog parameters", "Block expects 7 dialog parameters",
    "Block expects 8 dialog parameters", "Block expects 9 dialog parameters",
};
constexpr int32_t kNumExpectedParamsMessages =
    static_cast<int32_t>(sizeof(kExpectedParamsMessages) / sizeof(kExpectedParamsMessages[0]));
constexpr const char* kWrongParamCountMessage =
    "Block was given the wrong number of dialog parameters";
constexpr const char* kPortTypeMessage = "Data type of the ports must be double or single";

// Blocks of tqCalloc not yet released; instances on several threads share the count.
std::atomic<size_t> gHeldAllocations{0};

// The input port record of `port`, or NULL when the instance has no such port.
const InputPortRecord* inputPort(const BlockInstance* instance, int32_t port) {
    if (instance == nullptr || instance->inputPorts == nullptr || port < 0 ||
        port >= instance->sizes[kSizesNumInputPorts]) {
        return nullptr;
    }
    return &instance->inputPorts[port];
}

}  // namespace

extern "C" {

bool registerRBlockParams(BlockInstance* instance, int32_t count) {
    instance->sizes[kSizesNumDialogParamsExpected] = count;
    if (instance->numDialogParams == count) {
        return true;
    }
    setErrorStatus(instance, count >= 0 && count < kNumExpectedParamsMessages
                                 ? kExpectedParamsMessages[count]
                                 : kWrongParamCountMessage);
    return false;
}

bool isInputSingle(const BlockInstance* instance, int32_t port) {
    const InputPortRecord* record = inputPort(instance, port);
    return record != nullptr && record->typeId == kTypeIdSingle;
}

bool isInputFrameDataOn(const BlockInstance* instance, int32_t port) {
    const InputPortRecord* record = inputPort(instance, port);
    // Frame mode 1: the high bit (inherited) clear and the low bit set.
    return record != nullptr && (record->attributes & kInputFrameModeHighBit) == 0 &&
           (record->attributes & kInputFrameModeLowBit) != 0;
}

bool isInputOriented(const BlockInstance* instance, int32_t port) {
    const InputPortRecord* record = inputPort(instance, port);
    return record != nullptr && record->numDims >= 2;
}

bool checkAndSetAllPortsToDblOrSngl(BlockInstance* instance, int32_t typeId) {
    if (typeId != kTypeIdDouble && typeId != kTypeIdSingle) {
        setErrorStatus(instance, kPortTypeMessage);
        return false;
    }
    if (instance->inputPorts != nullptr) {
        for (int32_t port = 0; port < instance->sizes[kSizesNumInputPorts]; ++port) {
            instance->inputPorts[port].typeId = typeId;
        }
    }
    if (instance->outputPorts != nullptr) {
        for (int32_t port = 0; port < instance->sizes[kSizesNumOutputPorts]; ++port) {
            instance->outputPorts[port].typeId = typeId;
        }
    }
    return true;
}

void* tqCalloc(BlockInstance* /*instance*/, size_t count, size_t size) {
    if (size != 0 && count > std::numeric_limits<size_t>::max() / size) {
        std::fprintf(stderr, "sig_blk_common: tqCalloc: requested size overflows size_t\n");
        std::fflush(stderr);
        std::abort();
    }
    // A zero-byte request still gets a block of its own, so the result is never NULL.
    void* memory = std::calloc(count == 0 || size == 0 ? 1 : count, size == 0 ? 1 : size);
    if (memory == nullptr) {
        std::fprintf(stderr, "sig_blk_common: tqCalloc: out of memory\n");
        std::fflush(stderr);
        std::abort();
    }
    gHeldAllocations.fetch_add(1, std::memory_order_relaxed);
    return memory;
}

void tqFree(void* memory) {
    if (memory == nullptr) {
        return;
    }
    gHeldAllocations.fetch_sub(1, std::memory_order_relaxed);
    std::free(memory);
}

size_t tqHeldAllocations(void) {
    return gHeldAllocations.load(std::memory_order_relaxed);
}

}  // extern "C"
