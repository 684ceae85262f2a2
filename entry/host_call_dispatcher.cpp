#include "entry/host_call_dispatcher.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "block/block_hooks.h"
#include "block/unsupported_hooks.h"
#include "host/kvx_function.h"

namespace kq {

namespace {

// A row's routine runs the hook and returns true, or returns false when the slot is empty or the
// row's condition fails; the dispatcher then stores the row's message.
using Runner = bool (*)(BlockInstance* instance);

struct DispatchRow {
    Runner run;  // nullptr for a code without a row: an invalid code
    const char* messageOtherwise;
};

int32_t currentPort(const BlockInstance* b) {
    return b->sizes[kSizesCurrentPort];
}

bool dimensionInfoSizing(const BlockInstance* b) {
    return (static_cast<uint32_t>(b->sizes[kSizesInstanceFlags]) &
            kInstanceFlagDimensionInfoSizing) != 0;
}

// A hook called in its form with the host's arguments for the current port; the forms that take
// an argument from HostInfo do not run without one.
bool callHook(BlockInstance* b, InstanceHook hook) {
    hook(b);
    return true;
}
bool callHook(BlockInstance* b, PortValueHook hook) {
    if (b->hostInfo == nullptr) {
        return false;
    }
    hook(b, currentPort(b), b->hostInfo->portValue);
    return true;
}
bool callHook(BlockInstance* b, PortSampleTimeHook hook) {
    if (b->hostInfo == nullptr) {
        return false;
    }
    hook(b, currentPort(b), b->hostInfo->portSamplePeriod, b->hostInfo->portSampleOffset);
    return true;
}
bool callHook(BlockInstance* b, PortDimsHook hook) {
    if (b->hostInfo == nullptr) {
        return false;
    }
    hook(b, currentPort(b), b->hostInfo->portDims);
    return true;
}
bool callHook(BlockInstance* b, PortHook hook) {
    hook(b, currentPort(b));
    return true;
}

const HookSlots* slotTable(const BlockInstance* b, const HookSlots* /*tag*/) {
    return &b->hookSlots;
}
// The extension table may be missing: every one of its slots then counts as empty.
const ExtHookSlots* slotTable(const BlockInstance* b, const ExtHookSlots* /*tag*/) {
    return b->extHookSlots;
}

// Runs the hook in a slot, in the form of the row, when the slot is filled. A port sizing slot
// (a HookEntry) serves two codes, one per sizing style: bit 0 of instanceFlags says which one the
// host uses, and a call of the other style is refused even when the slot is filled.
template <class Form, class Table, auto Slot>
bool runSlot(BlockInstance* b) {
    const Table* table = slotTable(b, static_cast<const Table*>(nullptr));
    if (table == nullptr || table->*Slot == nullptr) {
        return false;
    }
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(table->*Slot)>, HookEntry>) {
        if (dimensionInfoSizing(b) != std::is_same_v<Form, PortDimsHook>) {
            return false;
        }
        return callHook(b, reinterpret_cast<Form>(table->*Slot));
    } else {
        static_assert(std::is_same_v<std::remove_cvref_t<decltype(table->*Slot)>, Form>,
                      "a row's form is the form of its slot");
        return callHook(b, table->*Slot);
    }
}

// The block's own routine, whatever the slots hold.
template <void (*Hook)(BlockInstance*)>
bool runBlockHook(BlockInstance* b) {
    Hook(b);
    return true;
}

// The block's own routine, provided its slot is filled.
template <InstanceHook HookSlots::*Slot, void (*Hook)(BlockInstance*)>
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

// Where the block departs from running the slot of a code: codes 101, 104 and 107 run the block's
// routine without looking at any slot; 102 and 117 look at their slot only to decide whether to
// run; 103 and 108 never run and store messages of their own.
struct OwnRow {
    HostCallFlag code;
    Runner run;
    const char* message;  // nullptr: the code's "Unexpected call to" message
};

constexpr OwnRow kOwnRows[] = {
    {kFlagInitializeSampleTimes, runBlockHook<hookInitializeSampleTimes>, nullptr},
    {kFlagInitializeConditions,
     runBlockHookIfSlot<&HookSlots::hookInitializeConditions, hookInitializeConditions>, nullptr},
    {kFlagGetTimeOfNextVarHit, neverRuns, kNoVarHitMessage},
    {kFlagOutputs, runBlockHook<hookOutputs>, nullptr},
    {kFlagTerminate, runBlockHook<hookTerminate>, nullptr},
    {kFlagZeroCrossings, neverRuns, kNoZeroCrossingsMessage},
    {kFlagStart, runBlockHookIfSlot<&HookSlots::hookStart, hookStart>, nullptr},
};

constexpr int kNumCodes = kFlagLast - kFlagFirst + 1;

// Where a code's row is: code - 101.
constexpr size_t rowIndex(int32_t code) {
    return static_cast<size_t>(code - kFlagFirst);
}

// The rows indexed by code - 101: every code of KQ_HOST_CALL_FLAGS runs its slot or stores
// "Unexpected call to" its hook, unless the block has a row of its own for it.
constexpr std::array<DispatchRow, kNumCodes> buildRows() {
    std::array<DispatchRow, kNumCodes> rows{};
#define KQ_DISPATCH_ROW(code, Name, Table, slot, form)                      \
    rows[rowIndex(code)] = DispatchRow{&runSlot<form, Table, &Table::slot>, \
                                       "Unexpected call to " KQ_HOOK_NAME(Name)};
    KQ_HOST_CALL_FLAGS(KQ_DISPATCH_ROW)
#undef KQ_DISPATCH_ROW
    for (const OwnRow& own : kOwnRows) {
        DispatchRow& row = rows[rowIndex(own.code)];
        row.run = own.run;
        if (own.message != nullptr) {
            row.messageOtherwise = own.message;
        }
    }
    return rows;
}

constexpr std::array<DispatchRow, kNumCodes> kRows = buildRows();

const DispatchRow* rowForCode(double flagCode) {
    // Truncating a double outside the 32-bit range (or a NaN) is undefined, so the range is checked
    // first; every code outside 101..142 is invalid anyway.
    if (!(flagCode > -2147483649.0 && flagCode < 2147483648.0)) {
        return nullptr;
    }
    const auto code = static_cast<int32_t>(flagCode);
    if (code < kFlagFirst || code > kFlagLast || kRows[rowIndex(code)].run == nullptr) {
        return nullptr;
    }
    return &kRows[rowIndex(code)];
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

}  // namespace kq
