#include "entry/host_call_dispatcher.h"

#include <array>
#include <cstdint>

#include "block/block_hooks.h"
#include "entry/error_stubs.h"
#include "host/kvx_function.h"

namespace {

// A row's routine runs the hook and returns true, or returns false when the slot is empty or the
// row's condition fails; the dispatcher then stores the row's message.
using Runner = bool (*)(BlockInstance* instance);

struct DispatchRow {
    HostCallFlag code;
    Runner run;
    const char* messageOtherwise;
};

int32_t currentPort(const BlockInstance* b) {
    return b->sizes[kSizesCurrentPort];
}

bool dimensionInfoSizing(const BlockInstance* b) {
    return (static_cast<uint32_t>(b->sizes[kSizesInstanceFlags]) &
            kInstanceFlagDimensionInfoSizing) != 0;
}

// The block's own routine, whatever the slots hold.
template <void (*Hook)(BlockInstance*)>
bool runBlockHook(BlockInstance* b) {
    Hook(b);
    return true;
}

// The block's own routine, provided its slot is filled.
template <HookFormA HookSlots::*Slot, void (*Hook)(BlockInstance*)>
bool runBlockHookIfSlot(BlockInstance* b) {
    if (b->hookSlots.*Slot == nullptr) {
        return false;
    }
    Hook(b);
    return true;
}

bool neverRuns(BlockInstance* /*b*/) {
    return false;
}

template <HookFormA HookSlots::*Slot>
bool runSlotA(BlockInstance* b) {
    const HookFormA hook = b->hookSlots.*Slot;
    if (hook == nullptr) {
        return false;
    }
    hook(b);
    return true;
}

template <HookFormP HookSlots::*Slot>
bool runSlotP(BlockInstance* b) {
    const HookFormP hook = b->hookSlots.*Slot;
    if (hook == nullptr || b->hostInfo == nullptr) {
        return false;
    }
    hook(b, currentPort(b), b->hostInfo->portValue);
    return true;
}

template <HookFormT HookSlots::*Slot>
bool runSlotT(BlockInstance* b) {
    const HookFormT hook = b->hookSlots.*Slot;
    if (hook == nullptr || b->hostInfo == nullptr) {
        return false;
    }
    hook(b, currentPort(b), b->hostInfo->portSamplePeriod, b->hostInfo->portSampleOffset);
    return true;
}

// One slot per port direction serves both sizing styles; bit 0 of instanceFlags says which one the
// host uses, and a call of the other style is refused even when the slot is filled.
template <HookEntry HookSlots::*Slot>
bool runWidthSlot(BlockInstance* b) {
    const HookEntry entry = b->hookSlots.*Slot;
    if (dimensionInfoSizing(b) || entry == nullptr || b->hostInfo == nullptr) {
        return false;
    }
    reinterpret_cast<HookFormP>(entry)(b, currentPort(b), b->hostInfo->portValue);
    return true;
}

template <HookEntry HookSlots::*Slot>
bool runDimensionInfoSlot(BlockInstance* b) {
    const HookEntry entry = b->hookSlots.*Slot;
    if (!dimensionInfoSizing(b) || entry == nullptr || b->hostInfo == nullptr) {
        return false;
    }
    reinterpret_cast<HookFormD>(entry)(b, currentPort(b), b->hostInfo->portDims);
    return true;
}

template <HookFormP ExtHookSlots::*Slot>
bool runExtSlotP(BlockInstance* b) {
    if (b->extHookSlots == nullptr || b->extHookSlots->*Slot == nullptr || b->hostInfo == nullptr) {
        return false;
    }
    (b->extHookSlots->*Slot)(b, currentPort(b), b->hostInfo->portValue);
    return true;
}

template <HookFormA ExtHookSlots::*Slot>
bool runExtSlotA(BlockInstance* b) {
    if (b->extHookSlots == nullptr || b->extHookSlots->*Slot == nullptr) {
        return false;
    }
    (b->extHookSlots->*Slot)(b);
    return true;
}

template <HookFormI ExtHookSlots::*Slot>
bool runExtSlotI(BlockInstance* b) {
    if (b->extHookSlots == nullptr || b->extHookSlots->*Slot == nullptr) {
        return false;
    }
    (b->extHookSlots->*Slot)(b, currentPort(b));
    return true;
}

// Every valid code, with what it runs and the message stored when it does not run. Codes 101, 104
// and 107 run the block's routine without looking at any slot; 102 and 117 look at their slot
// only to decide whether to run.
constexpr DispatchRow kDispatchRows[] = {
    {kFlagInitializeSampleTimes, runBlockHook<hookInitializeSampleTimes>, nullptr},
    {kFlagInitializeConditions,
     runBlockHookIfSlot<&HookSlots::hookInitializeConditions, hookInitializeConditions>,
     "Unexpected call to hookInitializeConditions"},
    {kFlagGetTimeOfNextVarHit, neverRuns, kNoVarHitMessage},
    {kFlagOutputs, runBlockHook<hookOutputs>, nullptr},
    {kFlagTerminate, runBlockHook<hookTerminate>, nullptr},
    {kFlagZeroCrossings, neverRuns, kNoZeroCrossingsMessage},
    {kFlagSetWorkWidths, runSlotA<&HookSlots::hookSetWorkWidths>,
     "Unexpected call to hookSetWorkWidths"},
    {kFlagCheckParameters, runSlotA<&HookSlots::hookCheckParameters>,
     "Unexpected call to hookCheckParameters"},
    {kFlagSetInputPortDataType, runSlotP<&HookSlots::hookSetInputPortDataType>,
     "Unexpected call to hookSetInputPortDataType"},
    {kFlagSetOutputPortDataType, runSlotP<&HookSlots::hookSetOutputPortDataType>,
     "Unexpected call to hookSetOutputPortDataType"},
    {kFlagSetInputPortWidth, runWidthSlot<&HookSlots::inputPortSizing>,
     "Unexpected call to hookSetInputPortWidth"},
    {kFlagSetOutputPortWidth, runWidthSlot<&HookSlots::outputPortSizing>,
     "Unexpected call to hookSetOutputPortWidth"},
    {kFlagStart, runBlockHookIfSlot<&HookSlots::hookStart, hookStart>,
     "Unexpected call to hookStart"},
    {kFlagProcessParameters, runSlotA<&HookSlots::hookProcessParameters>,
     "Unexpected call to hookProcessParameters"},
    {kFlagGXW, runSlotA<&HookSlots::hookGXW>, "Unexpected call to hookGXW"},
    {kFlagSetInputPortComplexSignal, runSlotP<&HookSlots::hookSetInputPortComplexSignal>,
     "Unexpected call to hookSetInputPortComplexSignal"},
    {kFlagSetOutputPortComplexSignal, runSlotP<&HookSlots::hookSetOutputPortComplexSignal>,
     "Unexpected call to hookSetOutputPortComplexSignal"},
    {kFlagSetInputPortSampleTime, runSlotT<&HookSlots::hookSetInputPortSampleTime>,
     "Unexpected call to hookSetInputPortSampleTime"},
    {kFlagSetOutputPortSampleTime, runSlotT<&HookSlots::hookSetOutputPortSampleTime>,
     "Unexpected call to hookSetOutputPortSampleTime"},
    {kFlagSetInputPortDimensionInfo, runDimensionInfoSlot<&HookSlots::inputPortSizing>,
     "Unexpected call to hookSetInputPortDimensionInfo"},
    {kFlagSetOutputPortDimensionInfo, runDimensionInfoSlot<&HookSlots::outputPortSizing>,
     "Unexpected call to hookSetOutputPortDimensionInfo"},
    {kFlagSetInputPortFrameData, runExtSlotP<&ExtHookSlots::hookSetInputPortFrameData>,
     "Unexpected call to hookSetInputPortFrameData"},
    {kFlagSetDefaultPortDimensionInfo, runExtSlotA<&ExtHookSlots::hookSetDefaultPortDimensionInfo>,
     "Unexpected call to hookSetDefaultPortDimensionInfo"},
    {kFlagSetDefaultPortDataTypes, runExtSlotA<&ExtHookSlots::hookSetDefaultPortDataTypes>,
     "Unexpected call to hookSetDefaultPortDataTypes"},
    {kFlagSetDefaultPortComplexSignals,
     runExtSlotA<&ExtHookSlots::hookSetDefaultPortComplexSignals>,
     "Unexpected call to hookSetDefaultPortComplexSignals"},
    {kFlagInitializePropagationPass, runExtSlotI<&ExtHookSlots::hookInitializePropagationPass>,
     "Unexpected call to hookInitializePropagationPass"},
};

constexpr int kNumCodes = kFlagLast - kFlagFirst + 1;

// The rows indexed by code - 101; codes without a row are invalid.
constexpr std::array<const DispatchRow*, kNumCodes> buildCodeIndex() {
    std::array<const DispatchRow*, kNumCodes> index{};
    for (const DispatchRow& row : kDispatchRows) {
        index[row.code - kFlagFirst] = &row;
    }
    return index;
}

constexpr std::array<const DispatchRow*, kNumCodes> kRowByCode = buildCodeIndex();

const DispatchRow* rowForCode(double flagCode) {
    // Truncating a double outside the 32-bit range (or a NaN) is undefined, so the range is checked
    // first; every code outside 101..142 is invalid anyway.
    if (!(flagCode > -2147483649.0 && flagCode < 2147483648.0)) {
        return nullptr;
    }
    const auto code = static_cast<int32_t>(flagCode);
    if (code < kFlagFirst || code > kFlagLast) {
        return nullptr;
    }
    return kRowByCode[code - kFlagFirst];
}

}  // namespace

void dispatchHostCall(BlockInstance* instance, double flagCode) {
    const DispatchRow* row = rowForCode(flagCode);
    if (row == nullptr) {
        setErrorStatus(instance, kInvalidFlagMessage);
        return;
    }
    if (!row->run(instance) && row->messageOtherwise != nullptr) {
        setErrorStatus(instance, row->messageOtherwise);
    }
}
