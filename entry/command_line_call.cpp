#include "entry/command_line_call.h"

#include <bit>
#include <cstdio>
#include <cstring>

#include "block/block_hooks.h"
#include "entry/block_identity.h"
#include "entry/query_instance.h"

namespace kq {

namespace {

constexpr int32_t kMarkerArg = 1;
constexpr int32_t kFlagArg = 3;
constexpr int32_t kMinRightArgs = 4;
constexpr size_t kMarkerRows = 2;
// A double holds every integer up to 2^53 exactly; a marker address beyond it cannot be genuine.
constexpr double kLargestExactAddress = 9007199254740992.0;

// Entries returned as unsigned 32-bit values.
constexpr int kUnsignedEntries[] = {kSizesHostFlags15, kSizesHostFlags16, kSizesHostFlags17,
                                    kSizesHostFlags18, kSizesBlockOptions};

// Formats the message of a failed check; returns false, the result of the failed call.
bool failWithLabel(CommandLineMessage& message, const char* format) {
    std::snprintf(message.text, sizeof message.text, format, kBlockLabel);
    return false;
}

bool isIntegerZeroFlag(const vzArray* flag, bool& isInteger) {
    // Numeric, real and exactly one element; then equal to its own truncation to a signed 32-bit
    // integer, with the range checked before converting.
    isInteger = false;
    if (flag == nullptr || vzGetM(flag) * vzGetN(flag) != 1 || !vzIsNumeric(flag) ||
        vzIsComplex(flag)) {
        return false;
    }
    const double value = vzGetScalar(flag);
    if (!(value > -2147483649.0 && value < 2147483648.0)) {
        return false;
    }
    const auto truncated = static_cast<int32_t>(value);
    isInteger = static_cast<double>(truncated) == value;
    return isInteger && truncated == 0;
}

// The host's instance named by a load-time marker, or nullptr when rightArgs[1] is no marker: a
// 2-row array with real double data whose second element is exactly the interface stamp.
const double* loadTimeMarker(const vzArray* arg) {
    if (arg == nullptr || vzGetM(arg) != kMarkerRows || vzGetNumberOfElements(arg) < kMarkerRows) {
        return nullptr;
    }
    const double* data = vzGetPr(arg);
    constexpr double kStamp = kvxLevel2Stamp;
    if (data == nullptr || std::bit_cast<uint64_t>(data[1]) != std::bit_cast<uint64_t>(kStamp)) {
        return nullptr;
    }
    return data;
}

// The instance a marker names, or nullptr with the message.
BlockInstance* markedInstance(const double* marker, CommandLineMessage& message) {
    const double address = marker[0];
    // Truncating the address back must be defined: a positive finite value within exact range.
    if (!(address >= 1.0 && address < kLargestExactAddress)) {
        failWithLabel(message, "%s was given a load-time marker without a valid instance address");
        return nullptr;
    }
    return reinterpret_cast<BlockInstance*>(static_cast<uintptr_t>(address));
}

bool checkBlockName(const BlockInstance* instance, CommandLineMessage& message) {
    // A block built under the exempt name skips the check; this block never does.
    if (std::memcmp(kBlockName, kNameCheckExemptName, kBlockNameBytes) == 0) {
        return true;
    }
    const char* hostName = instance->blockName != nullptr ? instance->blockName : "";
    // strncmp stops at the first terminator, so over these bytes it tests exact equality.
    if (std::strncmp(hostName, kBlockName, kBlockNameBytes) == 0) {
        return true;
    }
    std::snprintf(message.text, sizeof message.text,
                  "R-block name mismatch. Name in source is \"#define R_BLOCK_NAME %s\", whereas "
                  "name of the R-block KVX file is \"%s\". The source needs to be updated",
                  kBlockName, hostName);
    return false;
}

void returnSizes(BlockInstance* instance, vzArray* leftArgs[]) {
    vzArray* sizes = vzCreateDoubleMatrix(kNumSizesEntries, 1, vzREAL);
    leftArgs[0] = sizes;
    double* values = vzGetPr(sizes);
    for (int i = 0; i < kNumSizesEntries; ++i) {
        values[i] = instance->sizes[i];
    }
    instance->sizes[kSizesBlockOptions] = static_cast<int32_t>(
        static_cast<uint32_t>(instance->sizes[kSizesBlockOptions]) | kBlockOptionCommandLineCall);
    for (int entry : kUnsignedEntries) {
        values[entry] = static_cast<uint32_t>(instance->sizes[entry]);
    }
}

}  // namespace

bool commandLineCall(int32_t numLeft, vzArray* leftArgs[], int32_t numRight,
                     const vzArray* rightArgs[], CommandLineMessage& message) {
    if (numRight < kMinRightArgs || rightArgs == nullptr) {
        return failWithLabel(message, "%s must be called with at least 4 right hand arguments");
    }
    if (numLeft > 1) {
        return failWithLabel(message, "%s called with too many left hand arguments");
    }
    bool isInteger = false;
    const bool flagIsZero = isIntegerZeroFlag(rightArgs[kFlagArg], isInteger);
    if (!isInteger) {
        return failWithLabel(message,
                             "The 4th right hand argument, FLAG, passed to %s must be an integer");
    }
    if (!flagIsZero) {
        return failWithLabel(message, "Invalid flag passed to %s");
    }

    BlockInstance* instance = nullptr;
    if (const double* marker = loadTimeMarker(rightArgs[kMarkerArg])) {
        instance = markedInstance(marker, message);
        if (instance == nullptr || !checkBlockName(instance, message)) {
            return false;
        }
        registerBlockHooks(instance);
    } else {
        instance = createQueryInstance(numRight, rightArgs);
    }
    instance->sizes[kSizesInterfaceStamp] = kvxLevel2Stamp;
    // Its result and the errorStatus it may leave are the caller's to read from the sizes.
    hookInitializeSizes(instance);
    if (leftArgs != nullptr) {
        returnSizes(instance, leftArgs);
    } else {
        instance->sizes[kSizesBlockOptions] |= kBlockOptionCommandLineCall;
    }
    return true;
}

}  // namespace kq
