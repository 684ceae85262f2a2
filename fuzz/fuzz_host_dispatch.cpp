// Fuzz target: host calls of kvxFunction through the whole life of a block instance, in any order.
//
// Each input sets up a stand-in host instance (services, mode, block name, dialog parameters),
// loads the block into it with a load-time marker, and then runs a sequence of operations: host
// calls with flag codes (mostly 101 to 142, with fractions; sometimes any double, NaN, infinities
// or huge values; the flag array sometimes of another class or empty) with random currentPort,
// portValue and sample-time arguments, toggles of instanceFlags bit 0, and what a host does
// between calls: settling the input's shape, resolving the sample time, allocating the port
// buffers and work vectors, writing input samples, replacing dialog parameters, loading again.
// At the end the host terminates a started instance and destroys it; LeakSanitizer then sees any
// memory the block kept.
//
// The host keeps its own records valid, as any host must, since the block cannot see the size of a
// buffer: the block is started from a start it accepted until the next terminate, and only then
// does it hold a record that borrows the port buffers and work vectors. A start the block refused
// (with a message) starts nothing: it leaves the block as it was, not started or still on the
// record of an earlier start. While the block is not started, the host allocates the port buffers
// before a start and brings them to the port records whenever a port's size or type changes; while
// it is started, it changes no shape, allocation or work-vector count (no set-work-widths call, no
// new load) and, should a data type offered during the run leave the buffers unfit for the port
// records, starts the block again only after a terminate. Everything else may come in any order:
// outputs before start, terminate twice, parameters processed before the work vectors exist, starts
// that fail, data types offered after the work widths were set. The first input byte chooses
// between that host and an orderly one, which keeps the host's order of propagation (data types
// and shape settled before set-work-widths, which it calls only then, and a load that failed ends
// the run); setting the environment variable KQ_FUZZ_ORDERLY_HOST=1 makes every input orderly.
// KQ_FUZZ_TRACE=1 prints what the host does, one line per operation, on stderr: run it on a
// reproducer to read the sequence that led to a finding.
//
// Besides crashes and leaks, the dispatcher's part is checked exactly: invalid codes, the codes
// that never run, the slots the block leaves empty and the slots not yet filled all store the
// dispatcher's own message, and the codes that run the block's own output, sample-time and
// terminate routines store none. The block never holds a run-time record while the host counts it
// as not started.
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "block/unsupported_hooks.h"
#include "entry/block_identity.h"
#include "fuzz/byte_reader.h"
#include "fuzz/fuzz_arrays.h"
#include "fuzz/fuzz_check.h"
#include "host/data_types.h"
#include "host/kvx_function.h"
#include "sim/engine/host_instance.h"
#include "sim/libkvx/host_error.h"
#include "sim/libvz/vz_host.h"

using namespace kq;

const char* const kq::fuzz::kTargetName = "fuzz_host_dispatch";

namespace {

using kq::fuzz::ArrayPool;
using kq::fuzz::ByteReader;
using kq::fuzz::check;
using kq::fuzz::fail;
using kq::fuzz::interestingDouble;

constexpr const char* kInvalidFlagMessage = "Invalid flag encountered in veltrano";
constexpr int kMaxOperations = 96;

bool gOrderlyOnly = false;
bool gTrace = false;

__attribute__((format(printf, 1, 2))) void trace(const char* format, ...) {
    if (!gTrace) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

// Every valid flag code, the lifecycle codes several times so that runs get far.
constexpr int32_t kFlagCodes[] = {
#define KQ_FLAG_CODE(code, Name, Table, slot, form) code,
    KQ_HOST_CALL_FLAGS(KQ_FLAG_CODE)
#undef KQ_FLAG_CODE
    // lifecycle codes again
    kFlagOutputs,
    kFlagOutputs,
    kFlagOutputs,
    kFlagStart,
    kFlagInitializeConditions,
    kFlagSetWorkWidths,
    kFlagSetInputPortDataType,
    kFlagProcessParameters,
    kFlagTerminate,
    kFlagInitializeSampleTimes,
    kFlagCheckParameters,
    kFlagGXW};

// The message the dispatcher itself stores for a code, when the code does not reach the block's
// hooks: nullptr for the codes that do (their hooks may store their own messages), and "" for the
// codes that run the block's routine and must store nothing.
const char* dispatcherMessage(int32_t code, const BlockInstance* b) {
    const HookSlots& s = b->hookSlots;
    switch (code) {
        case kFlagInitializeSampleTimes:
        case kFlagOutputs:
        case kFlagTerminate:
            return "";
        case kFlagGetTimeOfNextVarHit:
            return kNoVarHitMessage;
        case kFlagZeroCrossings:
            return kNoZeroCrossingsMessage;
        case kFlagInitializeConditions:
            return s.hookInitializeConditions ? nullptr
                                              : "Unexpected call to hookInitializeConditions";
        case kFlagSetWorkWidths:
            return s.hookSetWorkWidths ? nullptr : "Unexpected call to hookSetWorkWidths";
        case kFlagCheckParameters:
            return s.hookCheckParameters ? nullptr : "Unexpected call to hookCheckParameters";
        case kFlagSetInputPortDataType:
            return s.hookSetInputPortDataType ? nullptr
                                              : "Unexpected call to hookSetInputPortDataType";
        case kFlagSetOutputPortDataType:
            return s.hookSetOutputPortDataType ? nullptr
                                               : "Unexpected call to hookSetOutputPortDataType";
        case kFlagStart:
            return s.hookStart ? nullptr : "Unexpected call to hookStart";
        case kFlagProcessParameters:
            return s.hookProcessParameters ? nullptr : "Unexpected call to hookProcessParameters";
        case kFlagGXW:
            return s.hookGXW ? nullptr : "Unexpected call to hookGXW";
        // The block leaves these slots to the host, which here leaves them empty; a sizing call of
        // either style is refused with its own message.
        case kFlagSetInputPortWidth:
            return "Unexpected call to hookSetInputPortWidth";
        case kFlagSetOutputPortWidth:
            return "Unexpected call to hookSetOutputPortWidth";
        case kFlagSetInputPortDimensionInfo:
            return "Unexpected call to hookSetInputPortDimensionInfo";
        case kFlagSetOutputPortDimensionInfo:
            return "Unexpected call to hookSetOutputPortDimensionInfo";
        case kFlagSetInputPortComplexSignal:
            return "Unexpected call to hookSetInputPortComplexSignal";
        case kFlagSetOutputPortComplexSignal:
            return "Unexpected call to hookSetOutputPortComplexSignal";
        case kFlagSetInputPortSampleTime:
            return "Unexpected call to hookSetInputPortSampleTime";
        case kFlagSetOutputPortSampleTime:
            return "Unexpected call to hookSetOutputPortSampleTime";
        case kFlagSetInputPortFrameData:
            return "Unexpected call to hookSetInputPortFrameData";
        case kFlagSetDefaultPortDimensionInfo:
            return "Unexpected call to hookSetDefaultPortDimensionInfo";
        case kFlagSetDefaultPortDataTypes:
            return "Unexpected call to hookSetDefaultPortDataTypes";
        case kFlagSetDefaultPortComplexSignals:
            return "Unexpected call to hookSetDefaultPortComplexSignals";
        case kFlagInitializePropagationPass:
            return "Unexpected call to hookInitializePropagationPass";
        default:
            return kInvalidFlagMessage;
    }
}

// The code a flag double names: truncated toward zero, or none outside the 32-bit range.
int32_t flagCode(double flag) {
    if (!(flag > -2147483649.0 && flag < 2147483648.0)) {
        return 0;
    }
    return static_cast<int32_t>(flag);
}

double readFlag(ByteReader& in) {
    switch (in.range(0, 9)) {
        case 7:
            return static_cast<double>(in.range(95, 150));
        case 8:
            return interestingDouble(in);
        case 9:
            return in.f64Bits();
        default: {
            const double code = in.pick(kFlagCodes);
            // A fraction that truncation drops.
            return in.range(0, 3) == 0 ? code + static_cast<double>(in.u8()) / 256.0 : code;
        }
    }
}

class HostModel {
  public:
    HostModel(ByteReader& in, ArrayPool& pool) : in_(in), pool_(pool) {}

    void run() {
        const bool orderlyInput = in_.boolean();  // read in any case, so inputs keep their meaning
        orderly_ = gOrderlyOnly || orderlyInput;
        kq::sim::HostInstanceOptions options;
        static constexpr int32_t kModes[] = {
            0, 0, 0, 0, 0, kSimModeSizesQuery, kSimModeHost2, kSimModeHost3, 9};
        options.simMode = in_.pick(kModes);
        const uint8_t services = in_.u8();
        options.offerPortDimsServices = (services & 1u) == 0;
        options.offerWorkVectorService = (services & 2u) == 0;
        options.offerTypeSizeService = (services & 4u) == 0;
        options.dimensionInfoSizing = (services & 8u) != 0;
        options.withExtHookSlots = (services & 16u) == 0;
        options.blockName = kBlockName;
        if (in_.range(0, 15) == 0) {
            options.blockName = in_.range(0, 1) == 0 ? "kqphasefix" : in_.text(16);
        }
        host_ = std::make_unique<kq::sim::HostInstance>(options);
        trace("host: %s, mode %d, services 0x%x, block name '%s'",
              orderly_ ? "orderly" : "any order", options.simMode, services,
              options.blockName.c_str());
        setParams(in_.range(0, 7) == 0 ? static_cast<int>(in_.range(0, 3)) : 2);

        if (in_.range(0, 15) != 0) {
            load();
        }
        for (int i = 0; i < kMaxOperations && !in_.exhausted() && !stopped_; ++i) {
            step();
        }
        finish();
    }

    ~HostModel() { finish(); }

  private:
    BlockInstance* block() { return host_->block(); }

    bool portsDeclared() {
        const BlockInstance* b = block();
        return b->inputPorts != nullptr && b->outputPorts != nullptr &&
               b->sizes[kSizesNumInputPorts] >= 1 && b->sizes[kSizesNumOutputPorts] >= 1;
    }

    bool typeSettled() {
        const int32_t typeId = block()->inputPorts[0].typeId;
        return typeId == kTypeIdDouble || typeId == kTypeIdSingle;
    }

    void setParams(int count) {
        std::vector<vzArray*> params;
        for (int i = 0; i < count; ++i) {
            if (i == 1 && in_.range(0, 3) != 0) {
                // The running switch: running (0) or stateless.
                params.push_back(vzCreateDoubleScalar(in_.boolean() ? 0.0 : 1.0));
            } else {
                params.push_back(kq::fuzz::readDialogParam(in_));
            }
        }
        trace("dialog parameters: %d", count);
        host_->setDialogParams(std::move(params));
    }

    // The load-time call, with a marker of the instance.
    void load() {
        vzArray* marker = pool_.keep(vzCreateDoubleMatrix(2, 1, vzREAL));
        vzGetPr(marker)[0] = static_cast<double>(reinterpret_cast<uintptr_t>(block()));
        vzGetPr(marker)[1] = kvxLevel2Stamp;
        const vzArray* rightArgs[4] = {nullptr, marker, nullptr,
                                       pool_.keep(vzCreateDoubleScalar(0.0))};
        vzArray* leftArgs[1] = {nullptr};
        bool raised = false;
        try {
            kvxFunction(0, leftArgs, 4, rightArgs);
        } catch (const kq::sim::HostError&) {
            raised = true;
        }
        vzReleaseCallAllocations();
        vzDestroyArray(leftArgs[0]);
        const std::string message = host_->takeErrorStatus();
        loaded_ = !raised && message.empty();
        trace("load: %s %s", loaded_ ? "ok" : "failed", message.c_str());
        if (loaded_) {
            // The ports and work vectors are declared anew: nothing is settled or allocated.
            workWidthsSet_ = false;
            allocated_ = false;
            shapeSet_ = false;
        } else if (orderly_) {
            stopped_ = true;  // an orderly host stops at a failed load
        }
    }

    // The array that carries the flag: mostly a double scalar of it, now and then any array, whose
    // first element (converted, or NaN when empty) then is the flag.
    const vzArray* flagArray(double& flag) {
        if (in_.range(0, 15) == 0) {
            const vzArray* array = pool_.keep(kq::fuzz::readArray(in_));
            flag = vzGetScalar(array);
            return array;
        }
        return pool_.keep(vzCreateDoubleScalar(flag));
    }

    // Returns the message the call stored, empty when none.
    std::string hostCall(double flag, const vzArray* flagArray) {
        BlockInstance* b = block();
        HostInfo& info = host_->hostInfo();
        b->sizes[kSizesCurrentPort] = in_.range(0, 7) == 0 ? static_cast<int32_t>(in_.u32()) : 0;
        static constexpr int32_t kPortValues[] = {kTypeIdDouble,
                                                  kTypeIdSingle,
                                                  kTypeIdSingle,
                                                  kTypeIdDouble,
                                                  kTypeIdBoolean,
                                                  kTypeIdUnset,
                                                  2,
                                                  1,
                                                  0,
                                                  64};
        info.portValue =
            in_.range(0, 15) == 0 ? static_cast<int32_t>(in_.u32()) : in_.pick(kPortValues);
        info.portSamplePeriod = interestingDouble(in_);
        info.portSampleOffset = interestingDouble(in_);

        const int32_t code = flagCode(flag);
        const char* expected = dispatcherMessage(code, b);

        vzArray* leftArgs[2] = {nullptr, reinterpret_cast<vzArray*>(b)};
        const vzArray* rightArgs[4] = {nullptr, nullptr, nullptr, flagArray};
        // Neither numLeft's value (below zero) nor numRight is read in a host call.
        const int32_t numLeft = in_.range(0, 7) == 0 ? INT32_MIN : -1;
        const int32_t numRight = static_cast<int32_t>(in_.range(-1, 6));
        trace("call %.17g (code %d), port %d, value %d, period %g", flag, code,
              b->sizes[kSizesCurrentPort], info.portValue, info.portSamplePeriod);
        kvxFunction(numLeft, leftArgs, numRight, rightArgs);
        const std::string message = host_->takeErrorStatus();
        if (!message.empty()) {
            trace("  -> '%s'", message.c_str());
        }
        if (expected != nullptr) {
            check(message == expected, "the dispatcher stored another message",
                  "code " + std::to_string(code) + ": '" + message + "', expected '" + expected +
                      "'");
        }
        return message;
    }

    // A host call of the code, where the host's rules allow it now.
    void callCode(double flag) {
        const vzArray* array = flagArray(flag);
        const int32_t code = flagCode(flag);
        const bool propagation =
            code == kFlagSetInputPortDataType || code == kFlagSetOutputPortDataType;
        if (code == kFlagSetWorkWidths) {
            if (started_) {
                return;  // the host keeps its work vectors during a run
            }
            if (orderly_ && (!portsDeclared() || !typeSettled() || !shapeSet_)) {
                return;
            }
        }
        if (propagation && orderly_ && workWidthsSet_) {
            return;  // an orderly host settles types before set-work-widths
        }
        if (code == kFlagStart) {
            if (orderly_ && !workWidthsSet_) {
                return;
            }
            // The block's record borrows the buffers it was started on; a data type offered during
            // the run has left them unfit for the port records, and they may only follow those
            // after a terminate.
            if (started_ && !buffersFitPorts()) {
                return;
            }
            // Port buffers exist from start to terminate.
            if (portsDeclared() && !allocated_) {
                allocate(in_.boolean());
            }
        }
        const std::string message = hostCall(flag, array);
        if (code == kFlagStart) {
            // A refused start starts nothing: the block stays as it was.
            started_ = started_ || message.empty();
        }
        if (code == kFlagSetWorkWidths && block()->hookSlots.hookSetWorkWidths != nullptr) {
            workWidthsSet_ = true;
            // The host's work-vector service dropped the old vectors; buffers come next.
            allocated_ = false;
        }
        if (code == kFlagTerminate) {
            started_ = false;
        }
        check(started_ || block()->userData == nullptr,
              "the block holds a run-time record that no accepted start gave it",
              "code " + std::to_string(code) + ": '" + message + "'");
    }

    // The buffers hold the element type and count that the port records now declare.
    bool buffersFitPorts() {
        if (!portsDeclared()) {
            return false;
        }
        const InputPortRecord& in = block()->inputPorts[0];
        return bufferType_ == in.typeId && bufferWidth_ == in.width;
    }

    // While the block is not started, the buffers follow the port records: a new size or element
    // type of the input, from a shape or a data type settled by propagation, gets new buffers.
    void keepBuffersFittingPorts() {
        if (!started_ && allocated_ && portsDeclared() && !buffersFitPorts()) {
            allocate(inPlace_);
        }
    }

    void allocate(bool inPlace) {
        trace("allocate buffers%s", inPlace ? ", in place" : "");
        inPlace_ = inPlace;
        host_->allocateBuffers(inPlace);
        allocated_ = true;
        // What the host's input buffer holds, whatever the port's record says later.
        bufferType_ = block()->inputPorts[0].typeId;
        bufferWidth_ = block()->inputPorts[0].width;
    }

    void setShape() {
        if (started_ || !portsDeclared() || (orderly_ && workWidthsSet_)) {
            return;
        }
        std::vector<int32_t> dims;
        const int64_t numDims = in_.range(1, 2);
        for (int64_t i = 0; i < numDims; ++i) {
            dims.push_back(static_cast<int32_t>(in_.range(0, 6)));
        }
        const int32_t frameMode = in_.boolean() ? kFrameModeFrame : kFrameModeSample;
        trace("input shape %d x %d (%zu dims), %s", dims[0], dims.size() > 1 ? dims[1] : 1,
              dims.size(), frameMode == kFrameModeFrame ? "frame based" : "sample based");
        host_->propagateInputShape(dims, frameMode);
        shapeSet_ = true;
    }

    void writeInput() {
        if (!allocated_ || !portsDeclared()) {
            return;
        }
        const InputPortRecord& port = block()->inputPorts[0];
        const int32_t width = bufferWidth_ > 0 ? bufferWidth_ : 0;
        trace("write %d input samples", width);
        for (int32_t i = 0; i < width && !in_.exhausted(); ++i) {
            if (bufferType_ == kTypeIdDouble) {
                static_cast<double*>(port.data)[i] = interestingDouble(in_);
            } else if (bufferType_ == kTypeIdSingle) {
                static_cast<float*>(port.data)[i] = kq::fuzz::interestingFloat(in_);
            }
        }
    }

    void step() {
        switch (in_.range(0, 15)) {
            case 0:
                block()->sizes[kSizesInstanceFlags] ^= kInstanceFlagDimensionInfoSizing;
                trace("toggle instanceFlags bit 0");
                break;
            case 1:
            case 2:
                setShape();
                break;
            case 3:
                if (!started_) {
                    static constexpr double kPeriods[] = {1.0, 1.0, 0.5, 0.0, -1.0};
                    const double period =
                        in_.range(0, 7) == 0 ? interestingDouble(in_) : in_.pick(kPeriods);
                    trace("sample time %g", period);
                    host_->resolveSampleTime(period, 0.0);
                }
                break;
            case 4:
                if (!started_ && portsDeclared()) {
                    allocate(in_.boolean());
                }
                break;
            case 5:
                if (block()->numDialogParams > 0) {
                    const auto index =
                        static_cast<int32_t>(in_.range(0, block()->numDialogParams - 1));
                    trace("replace dialog parameter %d", index);
                    host_->replaceDialogParam(index, kq::fuzz::readDialogParam(in_));
                }
                break;
            case 6:
                if (in_.range(0, 3) == 0) {
                    setParams(static_cast<int>(in_.range(0, 3)));
                }
                break;
            case 7:
                writeInput();
                break;
            case 8:
                if (!started_ && in_.range(0, 3) == 0) {
                    load();
                }
                break;
            default:
                callCode(readFlag(in_));
                break;
        }
        keepBuffersFittingPorts();
    }

    // A host terminates a started block before it drops the instance.
    void finish() {
        if (host_ != nullptr && started_) {
            vzArray* flag = pool_.keep(vzCreateDoubleScalar(kFlagTerminate));
            vzArray* leftArgs[2] = {nullptr, reinterpret_cast<vzArray*>(block())};
            const vzArray* rightArgs[4] = {nullptr, nullptr, nullptr, flag};
            kvxFunction(-1, leftArgs, 4, rightArgs);
            trace("terminate at the end");
            started_ = false;
        }
    }

    ByteReader& in_;
    ArrayPool& pool_;
    std::unique_ptr<kq::sim::HostInstance> host_;
    bool orderly_ = false;
    bool stopped_ = false;
    bool loaded_ = false;
    bool started_ = false;
    bool allocated_ = false;
    bool inPlace_ = false;
    int32_t bufferType_ = kTypeIdUnset;
    int32_t bufferWidth_ = 0;
    bool workWidthsSet_ = false;
    bool shapeSet_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    const char* orderly = std::getenv("KQ_FUZZ_ORDERLY_HOST");
    gOrderlyOnly = orderly != nullptr && std::strcmp(orderly, "1") == 0;
    const char* traceSetting = std::getenv("KQ_FUZZ_TRACE");
    gTrace = traceSetting != nullptr && std::strcmp(traceSetting, "1") == 0;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteReader in(data, size);
    ArrayPool pool;
    HostModel model(in, pool);
    model.run();
    return 0;
}
