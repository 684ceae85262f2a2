// Deliberately broken blocks for the tests of kqhost validate. Each forwards every call of its
// kvxFunction to the real block library (loaded from KQ_REAL_BLOCK_PATH) and answers everything
// exactly as the real block does, except for one fault, chosen by KQ_BREAKAGE. In its output steps:
//   1  flips the lowest bit of one output value per output step;
//   2  leaves one output value per output step as it was before the step (never written);
//   3  flips the lowest bit of one input value per copying output step (the input is not the
//      block's to change).
// The value spoiled moves on by one element from each output step to the next. At terminate:
//   4  keeps the run-time record that start took, as a terminate that forgets to release it.
// Asked for its code-generation record:
//   5  writes one without the Running setting, which kqhost generate must refuse to read;
//   6  writes one that disagrees with the block's setup: Running 1 and a Cutoff of 0.5 as a
//      binary32 value whatever the mode, tolerance and port type, so that kqhost generate can be
//      seen to take both from the record (and to refuse a Cutoff of another type than the port).
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "host/block_instance.h"
#include "host/data_types.h"
#include "host/host_info.h"
#include "host/kvx_error.h"
#include "host/kvx_function.h"
#include "host/record_pair.h"
#include "host/sig_blk_common.h"
#include "host/vz_array.h"
#include "sim/platform/dynamic_library.h"

namespace {

enum class Breakage {
    FlipOutputBit = 1,
    LeaveOutputUnwritten = 2,
    ChangeInput = 3,
    KeepRecordAtTerminate = 4,
    RecordWithoutRunning = 5,
    RecordDisagreeingWithSetup = 6
};
constexpr Breakage kBreakage = static_cast<Breakage>(KQ_BREAKAGE);

class RealBlock {
  public:
    RealBlock() {
        std::string reason;
        handle_ = kq::platform::openLibrary(KQ_REAL_BLOCK_PATH, reason);
        if (handle_ != nullptr) {
            entry_ = reinterpret_cast<KvxFunctionFn>(
                kq::platform::librarySymbol(handle_, "kvxFunction"));
        }
    }
    RealBlock(const RealBlock&) = delete;
    RealBlock& operator=(const RealBlock&) = delete;
    ~RealBlock() {
        if (handle_ != nullptr) {
            kq::platform::closeLibrary(handle_);
        }
    }
    KvxFunctionFn entry() const { return entry_; }

  private:
    kq::platform::LibraryHandle handle_ = nullptr;
    KvxFunctionFn entry_ = nullptr;
};

RealBlock& realBlock() {
    static RealBlock block;
    return block;
}

// One element of a port buffer of doubles or singles, read and written as raw bits.
class PortElement {
  public:
    PortElement(void* data, int32_t typeId, size_t index)
        : size_(typeId == kTypeIdSingle ? sizeof(float) : sizeof(double)),
          at_(static_cast<unsigned char*>(data) + index * size_) {}

    uint64_t load() const {
        uint64_t bits = 0;
        std::memcpy(&bits, at_, size_);
        return bits;
    }
    void store(uint64_t bits) { std::memcpy(at_, &bits, size_); }

  private:
    size_t size_;
    unsigned char* at_;
};

// Spoils one element around the real block's output step.
class OutputStepFault {
  public:
    explicit OutputStepFault(BlockInstance* instance) {
        static size_t outputSteps = 0;
        if (instance->inputPorts == nullptr || instance->outputPorts == nullptr) {
            return;
        }
        const InputPortRecord& in = instance->inputPorts[0];
        const OutputPortRecord& out = instance->outputPorts[0];
        if (in.data == nullptr || out.data == nullptr || out.width <= 0) {
            return;
        }
        const size_t index = outputSteps++ % static_cast<size_t>(out.width);
        switch (kBreakage) {
            case Breakage::FlipOutputBit:
                target_.emplace(out.data, out.typeId, index);
                break;
            case Breakage::LeaveOutputUnwritten:
                target_.emplace(out.data, out.typeId, index);
                before_ = target_->load();
                break;
            case Breakage::ChangeInput:
                if (in.data != out.data) {
                    target_.emplace(in.data, in.typeId, index);
                }
                break;
            case Breakage::KeepRecordAtTerminate:
            case Breakage::RecordWithoutRunning:
            case Breakage::RecordDisagreeingWithSetup:
                break;
        }
    }

    void afterOutputStep() {
        if (!target_) {
            return;
        }
        target_->store(kBreakage == Breakage::LeaveOutputUnwritten ? before_
                                                                   : target_->load() ^ 1u);
    }

  private:
    std::optional<PortElement> target_;
    uint64_t before_ = 0;
};

bool isHostCall(int32_t numLeft, const vzArray* rightArgs[], HostCallFlag code) {
    return numLeft < 0 && rightArgs != nullptr && rightArgs[3] != nullptr &&
           vzGetScalar(rightArgs[3]) == static_cast<double>(code);
}

// The records taken out of their instances at terminate. They are released only when the library
// unloads, so that a leak checker leaves the finding to the validator.
class KeptRecords {
  public:
    KeptRecords() = default;
    KeptRecords(const KeptRecords&) = delete;
    KeptRecords& operator=(const KeptRecords&) = delete;
    ~KeptRecords() {
        for (void* record : records_) {
            tqFree(record);
        }
    }
    // Takes the record out of the instance before the real terminate, which then releases nothing.
    void keep(BlockInstance* instance) {
        records_.push_back(instance->userData);
        instance->userData = nullptr;
    }

  private:
    std::vector<void*> records_;
};

KeptRecords& keptRecords() {
    static KeptRecords kept;
    return kept;
}

// A record of the real block's form that lacks its Running setting.
void writeRecordWithoutRunning(BlockInstance* instance) {
    HostInfo* host = instance->hostInfo;
    const double cutoff = 0.5;
    host->writeRecordText(host->recordWriterContext, "RBlkParamSettings {");
    host->writeRecordPair(host->recordWriterContext, valueTypedScalar, "Cutoff", &cutoff,
                          kTypeIdDouble, 1, 1);
    host->writeRecordText(host->recordWriterContext, "}");
}

// A record of the real block's form with Running 1 and a binary32 Cutoff of 0.5.
void writeDisagreeingRecord(BlockInstance* instance) {
    HostInfo* host = instance->hostInfo;
    const float cutoff = 0.5f;
    const uint8_t running = 1;
    host->writeRecordText(host->recordWriterContext, "RBlkParamSettings {");
    host->writeRecordPair(host->recordWriterContext, valueTypedScalar, "Cutoff", &cutoff,
                          kTypeIdSingle, 1, 1);
    host->writeRecordPair(host->recordWriterContext, valueTypedScalar, "Running", &running,
                          kTypeIdBoolean, 1, 1);
    host->writeRecordText(host->recordWriterContext, "}");
}

}  // namespace

void kvxFunction(int32_t numLeft, vzArray* leftArgs[], int32_t numRight,
                 const vzArray* rightArgs[]) {
    const KvxFunctionFn real = realBlock().entry();
    if (real == nullptr) {
        if (numLeft >= 0) {
            kvxErrMsgTxt("the broken test block cannot load the real block " KQ_REAL_BLOCK_PATH);
        }
        return;
    }
    if (kBreakage == Breakage::RecordWithoutRunning && isHostCall(numLeft, rightArgs, kFlagGXW)) {
        writeRecordWithoutRunning(reinterpret_cast<BlockInstance*>(leftArgs[1]));
        return;
    }
    if (kBreakage == Breakage::RecordDisagreeingWithSetup &&
        isHostCall(numLeft, rightArgs, kFlagGXW)) {
        writeDisagreeingRecord(reinterpret_cast<BlockInstance*>(leftArgs[1]));
        return;
    }
    if (kBreakage == Breakage::KeepRecordAtTerminate &&
        isHostCall(numLeft, rightArgs, kFlagTerminate)) {
        keptRecords().keep(reinterpret_cast<BlockInstance*>(leftArgs[1]));
    }
    if (kBreakage == Breakage::KeepRecordAtTerminate ||
        kBreakage == Breakage::RecordWithoutRunning ||
        kBreakage == Breakage::RecordDisagreeingWithSetup ||
        !isHostCall(numLeft, rightArgs, kFlagOutputs)) {
        real(numLeft, leftArgs, numRight, rightArgs);
        return;
    }
    OutputStepFault fault(reinterpret_cast<BlockInstance*>(leftArgs[1]));
    real(numLeft, leftArgs, numRight, rightArgs);
    fault.afterOutputStep();
}
