// Fuzz target: command-line calls of kvxFunction.
//
// Each input is a host instance (services, mode, block name, dialog parameters) and one to three
// calls of kvxFunction with random argument counts, NULL entries, FLAG arrays of every shape, class
// and value, load-time markers that do or do not name the instance, and random dialog parameters.
// Every call is checked against what the command-line branch must do: the exact message it raises
// for each refused call, the SizesVector of a sizes query, the hooks it registers in the host's
// instance at load time, and that a refused call or a sizes query leaves the host's instance alone.
// A negative numLeft is a host call without an instance, which must do nothing.
//
// Input layout (see ByteReader): host options, block name, host dialog parameters, the number of
// calls, then per call numLeft, numRight, whether leftArgs and rightArgs are given, and the
// rightArgs entries (marker in slot 1, FLAG in slot 3).
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "block/block_hooks.h"
#include "block/unsupported_hooks.h"
#include "entry/block_identity.h"
#include "fuzz/byte_reader.h"
#include "fuzz/fuzz_arrays.h"
#include "fuzz/fuzz_check.h"
#include "host/kvx_function.h"
#include "sim/engine/host_instance.h"
#include "sim/libkvx/host_error.h"
#include "sim/libvz/vz_host.h"

using namespace kq;

const char* const kq::fuzz::kTargetName = "fuzz_command_line";

namespace {

using kq::fuzz::ArrayPool;
using kq::fuzz::ByteReader;
using kq::fuzz::check;
using kq::fuzz::fail;
using kq::fuzz::interestingDouble;

constexpr double kStamp = kvxLevel2Stamp;
constexpr double kLargestExactAddress = 9007199254740992.0;
constexpr int kUnsignedEntries[] = {kSizesHostFlags15, kSizesHostFlags16, kSizesHostFlags17,
                                    kSizesHostFlags18, kSizesBlockOptions};
// More right-hand arguments than any real call, still cheap to build.
constexpr int32_t kMaxBuiltRightArgs = 1100;

// Marks the slots the block never touches, to see that registration leaves them alone.
void sentinelEntry() {}

std::string readBlockName(ByteReader& in) {
    switch (in.range(0, 7)) {
        case 4:
            return std::string(kBlockName, kBlockNameBytes - 2);  // one character short
        case 5:
            return std::string(kBlockName) + "2";  // one character more
        case 6:
            return in.text(24);  // anything, embedded zero bytes included
        case 7:
            // Longer than the message buffer, so the mismatch message must be cut, never
            // overflowed.
            return std::string(static_cast<size_t>(in.range(200, 600)), 'k') + in.text(8);
        default:
            return kBlockName;
    }
}

kq::sim::HostInstanceOptions readHostOptions(ByteReader& in) {
    kq::sim::HostInstanceOptions options;
    static constexpr int32_t kModes[] = {
        0, 0, 0, 0, kSimModeSizesQuery, kSimModeHost2, kSimModeHost3, -1, 7};
    options.simMode = in.pick(kModes);
    const uint8_t services = in.u8();
    options.offerPortDimsServices = (services & 1u) == 0;
    options.offerWorkVectorService = (services & 2u) == 0;
    options.offerTypeSizeService = (services & 4u) == 0;
    options.dimensionInfoSizing = (services & 8u) != 0;
    options.withExtHookSlots = (services & 16u) == 0;
    options.blockName = readBlockName(in);
    return options;
}

double instanceAddress(const kq::sim::HostInstance& host) {
    return static_cast<double>(reinterpret_cast<uintptr_t>(host.block()));
}

// Element 0 of a marker: the instance's address (plus a fraction that truncation drops), or a
// value the block must refuse as an address. Never another value in the address range: the block
// would take it as a pointer, as the marker's contract says.
double readMarkerAddress(ByteReader& in, const kq::sim::HostInstance& host) {
    const double address = instanceAddress(host);
    static constexpr double kFractions[] = {0.0, 0.0, 0.25, 0.5, 0.96875};
    const double kNaN = std::numeric_limits<double>::quiet_NaN();
    const double kInf = std::numeric_limits<double>::infinity();
    const double refused[] = {kNaN,
                              -kNaN,
                              kInf,
                              -kInf,
                              0.0,
                              -0.0,
                              0.5,
                              0.9999999999999999,
                              -1.0,
                              -address,
                              kLargestExactAddress,
                              0x1p60,
                              1e300,
                              std::numeric_limits<double>::max(),
                              std::numeric_limits<double>::denorm_min()};
    if (in.range(0, 2) != 0) {
        return address + in.pick(kFractions);
    }
    return in.pick(refused);
}

double readMarkerStamp(ByteReader& in) {
    switch (in.range(0, 7)) {
        case 4:
            return std::nextafter(kStamp, 1e300);
        case 5:
            return std::nextafter(kStamp, 0.0);
        case 6:
            return kStamp + 0.5;
        case 7:
            return interestingDouble(in);
        default:
            return kStamp;
    }
}

// rightArgs[1]: a marker of the instance, an almost-marker (wrong rows, class, stamp or count),
// NULL, or any array.
const vzArray* readMarkerArg(ByteReader& in, ArrayPool& pool, const kq::sim::HostInstance& host) {
    const int64_t kind = in.range(0, 6);
    if (kind == 5) {
        return nullptr;
    }
    if (kind == 6) {
        // Any array; one that happens to be a marker names the instance or a refused address,
        // since the block must take whatever a marker names as the instance.
        vzArray* array = pool.keep(kq::fuzz::readArray(in));
        double* data = vzGetPr(array);
        if (vzGetM(array) == 2 && vzGetNumberOfElements(array) >= 2 && data != nullptr &&
            data[0] >= 1.0 && data[0] < kLargestExactAddress) {
            data[0] = instanceAddress(host);
        }
        return array;
    }
    static constexpr kq::fuzz::ArrayShape kMarkerShapes[] = {
        {2, {2, 1, 0}}, {2, {2, 1, 0}}, {2, {2, 3, 0}}, {2, {2, 0, 0}}, {3, {2, 1, 2}},
        {2, {1, 2, 0}}, {2, {3, 1, 0}}, {2, {1, 1, 0}}, {1, {2, 0, 0}},
    };
    static constexpr vzClassId kMarkerClasses[] = {vzDOUBLE_CLASS, vzDOUBLE_CLASS, vzDOUBLE_CLASS,
                                                   vzDOUBLE_CLASS, vzSINGLE_CLASS, vzINT32_CLASS};
    const kq::fuzz::ArrayShape shape = in.pick(kMarkerShapes);
    const vzClassId classId = in.pick(kMarkerClasses);
    const bool complex = in.range(0, 7) == 0;
    vzArray* marker = pool.keep(
        vzCreateNumericArray(shape.numDims, shape.dims, classId, complex ? vzCOMPLEX : vzREAL));
    const size_t count = vzGetNumberOfElements(marker);
    const double address = readMarkerAddress(in, host);
    const double stamp = readMarkerStamp(in);
    for (size_t i = 0; i < count; ++i) {
        const double value = i == 0 ? address : i == 1 ? stamp : interestingDouble(in);
        if (classId == vzDOUBLE_CLASS) {
            static_cast<double*>(vzGetData(marker))[i] = value;
        } else {
            kq::fuzz::fillElement(in, classId, vzGetData(marker), i);
        }
    }
    return marker;
}

// rightArgs[3]: FLAG of any shape, class and value; mostly a real double scalar.
const vzArray* readFlagArg(ByteReader& in, ArrayPool& pool) {
    switch (in.range(0, 5)) {
        case 0:
            return pool.keep(vzCreateDoubleScalar(0.0));
        case 1:
        case 2:
            return pool.keep(vzCreateDoubleScalar(interestingDouble(in)));
        case 3: {
            // One zero element of any class: accepted exactly for the numeric real ones.
            const auto classId = static_cast<vzClassId>(in.range(vzDOUBLE_CLASS, vzCHAR_CLASS));
            return pool.keep(
                vzCreateNumericMatrix(1, 1, classId, in.boolean() ? vzCOMPLEX : vzREAL));
        }
        case 4:
            return nullptr;
        default:
            return pool.keep(kq::fuzz::readArray(in));
    }
}

int32_t readNumLeft(ByteReader& in) {
    switch (in.range(0, 7)) {
        case 0:
        case 1:
        case 2:
            return 0;
        case 3:
        case 4:
            return 1;
        case 5:
            return 2;
        case 6:
            return -1;
        default:
            return static_cast<int32_t>(in.u32());
    }
}

int32_t readNumRight(ByteReader& in) {
    switch (in.range(0, 9)) {
        case 0:
        case 1:
            return 4;
        case 2:
            return 5;
        case 3:
        case 4:
            return 6;
        case 5:
            return static_cast<int32_t>(in.range(-1, 3));
        case 6:
            return static_cast<int32_t>(in.range(7, 40));
        case 7:
            return static_cast<int32_t>(in.range(41, kMaxBuiltRightArgs));
        case 8:
            return INT32_MIN;
        default:
            return -4;
    }
}

// What the command-line branch must do with the arguments, short of the sizes hook itself.
struct Expectation {
    bool raises = false;
    std::string message;       // the exact text, when exact
    bool exactMessage = true;  // false: only the block's label is known to lead it
    bool marker = false;       // loads into the host's instance
};

std::string labelled(const char* format) {
    char message[256];
    std::snprintf(message, sizeof message, format, kBlockLabel);
    return message;
}

bool flagIsInteger(const vzArray* flag, double& value) {
    if (flag == nullptr || vzGetM(flag) * vzGetN(flag) != 1 || !vzIsNumeric(flag) ||
        vzIsComplex(flag)) {
        return false;
    }
    value = vzGetScalar(flag);
    return value >= -2147483648.0 && value <= 2147483647.0 && value == std::trunc(value);
}

bool isMarker(const vzArray* arg) {
    if (arg == nullptr || vzGetM(arg) != 2 || vzGetNumberOfElements(arg) < 2 ||
        vzGetClassId(arg) != vzDOUBLE_CLASS) {
        return false;
    }
    const double* data = vzGetPr(arg);
    return std::bit_cast<uint64_t>(data[1]) == std::bit_cast<uint64_t>(kStamp);
}

Expectation expectCommandLine(int32_t numLeft, int32_t numRight, const vzArray* const* rightArgs,
                              const BlockInstance* instance) {
    Expectation e;
    e.raises = true;
    if (numRight < 4 || rightArgs == nullptr) {
        e.message = labelled("%s must be called with at least 4 right hand arguments");
        return e;
    }
    if (numLeft > 1) {
        e.message = labelled("%s called with too many left hand arguments");
        return e;
    }
    double flag = 0.0;
    if (!flagIsInteger(rightArgs[3], flag)) {
        e.message = labelled("The 4th right hand argument, FLAG, passed to %s must be an integer");
        return e;
    }
    if (flag != 0.0) {
        e.message = labelled("Invalid flag passed to %s");
        return e;
    }
    if (isMarker(rightArgs[1])) {
        const double address = vzGetPr(rightArgs[1])[0];
        if (!(address >= 1.0 && address < kLargestExactAddress)) {
            e.exactMessage = false;
            return e;
        }
        // readMarkerAddress gives no other address than the instance's.
        check(static_cast<uintptr_t>(address) == reinterpret_cast<uintptr_t>(instance),
              "fuzz target built a marker of a foreign address");
        if (std::strcmp(instance->blockName, kBlockName) != 0) {
            char message[256];
            std::snprintf(message, sizeof message,
                          "R-block name mismatch. Name in source is \"#define R_BLOCK_NAME %s\", "
                          "whereas name of the R-block KVX file is \"%s\". The source needs to be "
                          "updated",
                          kBlockName, instance->blockName);
            e.message = message;
            return e;
        }
        e.marker = true;
    }
    e.raises = false;
    return e;
}

// The hook slots after load, as the block must fill them.
void checkRegisteredSlots(const BlockInstance* b) {
    const HookSlots& s = b->hookSlots;
    check(s.hookInitializeSizes == hookInitializeSizes, "slot hookInitializeSizes");
    check(s.hookSetInputPortDataType == hookSetPortDataType, "slot hookSetInputPortDataType");
    check(s.hookSetOutputPortDataType == hookSetPortDataType, "slot hookSetOutputPortDataType");
    check(s.hookInitializeSampleTimes == hookInitializeSampleTimes,
          "slot hookInitializeSampleTimes");
    check(s.hookSetWorkWidths == hookSetWorkWidths, "slot hookSetWorkWidths");
    check(s.hookGXW == hookGXW, "slot hookGXW");
    check(s.hookInitializeConditions == hookInitializeConditions, "slot hookInitializeConditions");
    check(s.hookStart == hookStart, "slot hookStart");
    check(s.hookCheckParameters == hookCheckParameters, "slot hookCheckParameters");
    check(s.hookProcessParameters == hookProcessParameters, "slot hookProcessParameters");
    check(s.hookGetTimeOfNextVarHit == unsupportedNextVarHitHook, "slot hookGetTimeOfNextVarHit");
    check(s.hookOutputs == hookOutputs, "slot hookOutputs");
    check(s.hookZeroCrossings == unsupportedZeroCrossingsHook, "slot hookZeroCrossings");
    check(s.hookTerminate == hookTerminate, "slot hookTerminate");
}

// The slots that no call of the block may write.
void checkUntouchedSlots(const BlockInstance* b) {
    const HookSlots& s = b->hookSlots;
    check(s.unused1 == sentinelEntry && s.unused2 == sentinelEntry && s.unused18 == sentinelEntry &&
              s.unused19 == sentinelEntry,
          "an unused hook slot was written");
    check(s.inputPortSizing == nullptr && s.outputPortSizing == nullptr &&
              s.hookSetInputPortSampleTime == nullptr && s.hookSetOutputPortSampleTime == nullptr &&
              s.hookSetInputPortComplexSignal == nullptr &&
              s.hookSetOutputPortComplexSignal == nullptr,
          "a hook slot the block leaves to the host was written");
    if (b->extHookSlots != nullptr) {
        const ExtHookSlots& x = *b->extHookSlots;
        check(x.unused0 == sentinelEntry && x.hookSetInputPortFrameData == nullptr &&
                  x.hookSetDefaultPortDimensionInfo == nullptr &&
                  x.hookSetDefaultPortDataTypes == nullptr &&
                  x.hookSetDefaultPortComplexSignals == nullptr &&
                  x.hookInitializePropagationPass == nullptr,
              "an extension slot was written");
    }
}

bool isUnsignedEntry(int entry) {
    for (int e : kUnsignedEntries) {
        if (e == entry) {
            return true;
        }
    }
    return false;
}

void checkSizesShape(const vzArray* sizes) {
    check(sizes != nullptr, "no SizesVector returned");
    check(vzGetClassId(sizes) == vzDOUBLE_CLASS && !vzIsComplex(sizes) &&
              vzGetNumberOfDimensions(sizes) == 2 && vzGetM(sizes) == kNumSizesEntries &&
              vzGetN(sizes) == 1,
          "SizesVector is not a real 38x1 double array");
}

// A sizes query builds a private instance: with two dialog parameters the size hook declares the
// ports and stops where it would need the work-vector service; with any other count it stops at
// the parameter check.
void checkQuerySizes(const vzArray* sizes, int32_t numParams) {
    checkSizesShape(sizes);
    std::array<double, kNumSizesEntries> expected{};
    expected[kSizesNumDialogParamsExpected] = 2;
    expected[kSizesInterfaceStamp] = kStamp;
    expected[kSizesBlockOptions] = kBlockOptionCommandLineCall;
    if (numParams == 2) {
        expected[kSizesNumInputPorts] = 1;
        expected[kSizesNumOutputPorts] = 1;
        expected[kSizesInstanceFlags] = kInstanceFlagBit11 | kInstanceFlagPortCountsSet;
    }
    const double* values = vzGetPr(sizes);
    for (int i = 0; i < kNumSizesEntries; ++i) {
        if (std::bit_cast<uint64_t>(values[i]) != std::bit_cast<uint64_t>(expected[i])) {
            fail("sizes query returned a wrong entry",
                 std::to_string(i) + " = " + std::to_string(values[i]) + ", expected " +
                     std::to_string(expected[i]));
        }
    }
}

// At load the SizesVector is the host instance's sizes after the call, five entries unsigned.
void checkLoadSizes(const vzArray* sizes, const BlockInstance* b) {
    checkSizesShape(sizes);
    const double* values = vzGetPr(sizes);
    for (int i = 0; i < kNumSizesEntries; ++i) {
        const double expected = isUnsignedEntry(i)
                                    ? static_cast<double>(static_cast<uint32_t>(b->sizes[i]))
                                    : static_cast<double>(b->sizes[i]);
        if (values[i] != expected) {
            fail("load returned a SizesVector entry that differs from the instance",
                 std::to_string(i));
        }
    }
}

struct HostSnapshot {
    std::array<int32_t, kNumSizesEntries> sizes;
    HookSlots slots;
    void* userData;

    explicit HostSnapshot(const BlockInstance* b) : slots(b->hookSlots), userData(b->userData) {
        std::copy(std::begin(b->sizes), std::end(b->sizes), sizes.begin());
    }
    bool sameAs(const BlockInstance* b) const {
        return std::equal(std::begin(b->sizes), std::end(b->sizes), sizes.begin()) &&
               std::memcmp(&slots, &b->hookSlots, sizeof slots) == 0 && userData == b->userData;
    }
};

void runCall(ByteReader& in, ArrayPool& pool, kq::sim::HostInstance& host) {
    const int32_t numLeft = readNumLeft(in);
    const int32_t numRight = readNumRight(in);
    const bool leftGiven = in.range(0, 7) != 0;
    const bool rightGiven = in.range(0, 15) != 0;

    // As many slots as numRight says (at least the four a host call reads), filled from the input;
    // past the first eight, the input picks NULL or a shared scalar.
    const size_t slots = static_cast<size_t>(
        std::max(numRight, 4) <= kMaxBuiltRightArgs ? std::max(numRight, 4) : 4);
    std::vector<const vzArray*> right(slots, nullptr);
    const vzArray* filler = pool.keep(vzCreateDoubleScalar(1.0));
    for (size_t i = 0; i < slots; ++i) {
        if (i == 1) {
            right[i] = readMarkerArg(in, pool, host);
        } else if (i == 3) {
            right[i] = readFlagArg(in, pool);
        } else if (i < 8) {
            right[i] = in.range(0, 4) == 0 ? nullptr : pool.keep(kq::fuzz::readDialogParam(in));
        } else {
            right[i] = (in.u8() & 1u) != 0 ? filler : nullptr;
        }
    }
    const vzArray** rightArgs = rightGiven ? right.data() : nullptr;

    BlockInstance* b = host.block();
    const HostSnapshot before(b);
    vzArray* left[2] = {nullptr, nullptr};
    vzArray** leftArgs = leftGiven ? left : nullptr;
    bool raised = false;
    std::string message;
    try {
        kvxFunction(numLeft, leftArgs, numRight, rightArgs);
    } catch (const kq::sim::HostError& error) {
        raised = true;
        message = error.what();
    }
    // What the block took with vzCalloc during the call is the host's to release now.
    vzReleaseCallAllocations();
    vzArray* result = left[0];
    const kq::sim::VzArrayPtr releaser(result);
    host.takeErrorStatus();

    if (numLeft < 0) {
        // A host call without an instance: nothing to run on, nothing to raise.
        check(!raised, "a host call raised", message);
        check(before.sameAs(b) && result == nullptr, "a host call without an instance acted");
        return;
    }

    const Expectation e = expectCommandLine(numLeft, numRight, rightArgs, b);
    if (e.raises) {
        check(raised, "a call that must be refused succeeded", e.message);
        if (e.exactMessage) {
            check(message == e.message, "wrong message", message + " | expected: " + e.message);
        } else {
            check(message.starts_with(kBlockLabel), "message without the block's label", message);
        }
        check(result == nullptr, "a refused call returned sizes");
        check(before.sameAs(b), "a refused call changed the host's instance");
        checkUntouchedSlots(b);
        return;
    }
    check(!raised, "a valid call raised", message);
    if (e.marker) {
        checkRegisteredSlots(b);
        check(b->sizes[kSizesInterfaceStamp] == kvxLevel2Stamp, "load did not stamp the instance");
        check((static_cast<uint32_t>(b->sizes[kSizesBlockOptions]) & kBlockOptionCommandLineCall) !=
                  0,
              "load did not mark the command-line call in blockOptions");
        if (leftGiven) {
            checkLoadSizes(result, b);
        }
    } else {
        check(before.sameAs(b), "a sizes query changed the host's instance");
        if (leftGiven) {
            checkQuerySizes(result, numRight - 4);
        }
    }
    checkUntouchedSlots(b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    ArrayPool pool;
    kq::sim::HostInstance host(readHostOptions(in));
    std::vector<vzArray*> params;
    static constexpr int kParamCounts[] = {2, 2, 2, 2, 0, 1, 3};
    const int numParams = in.pick(kParamCounts);
    for (int i = 0; i < numParams; ++i) {
        params.push_back(kq::fuzz::readDialogParam(in));
    }
    host.setDialogParams(std::move(params));
    HookSlots& slots = host.block()->hookSlots;
    slots.unused1 = slots.unused2 = slots.unused18 = slots.unused19 = sentinelEntry;
    if (host.block()->extHookSlots != nullptr) {
        host.block()->extHookSlots->unused0 = sentinelEntry;
    }

    const int64_t calls = in.range(1, 3);
    for (int64_t i = 0; i < calls; ++i) {
        runCall(in, pool, host);
    }
    return 0;
}
