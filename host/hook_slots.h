/* The tables of hook entry points kept in every BlockInstance. Every slot is NULL until the block
 * fills it in its load-time call; the host calls a filled slot directly or through kvxFunction with
 * the slot's flag code (KQ_HOST_CALL_FLAGS in host/kvx_function.h says which code runs which slot,
 * in which form). Slots are listed in their fixed order. */
#ifndef KQ_HOST_HOOK_SLOTS_H
#define KQ_HOST_HOOK_SLOTS_H

#include "host/hook_forms.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The 24 main slots. */
typedef struct HookSlots {
    InstanceHook hookInitializeSizes;
    HookEntry unused1;
    HookEntry unused2;
    /* Input port sizing: a PortValueHook width hook when instanceFlags bit 0 is clear, a
     * PortDimsHook dimension-info hook when it is set. */
    HookEntry inputPortSizing;
    /* Output port sizing, as the input slot. */
    HookEntry outputPortSizing;
    PortValueHook hookSetInputPortDataType;
    PortValueHook hookSetOutputPortDataType;
    InstanceHook hookInitializeSampleTimes;
    PortSampleTimeHook hookSetInputPortSampleTime;
    PortSampleTimeHook hookSetOutputPortSampleTime;
    InstanceHook hookSetWorkWidths;
    InstanceHook hookGXW; /* writes the code-generation record */
    InstanceHook hookInitializeConditions;
    InstanceHook hookStart;
    InstanceHook hookCheckParameters;
    InstanceHook hookProcessParameters;
    InstanceHook hookGetTimeOfNextVarHit;
    InstanceHook hookOutputs;
    HookEntry unused18;
    HookEntry unused19;
    InstanceHook hookZeroCrossings;
    InstanceHook hookTerminate;
    PortValueHook hookSetInputPortComplexSignal;
    PortValueHook hookSetOutputPortComplexSignal;
} HookSlots;

/* The extension slots, reached through BlockInstance.extHookSlots (which may be NULL: every slot
 * then counts as empty). A block may leave them all empty. */
typedef struct ExtHookSlots {
    HookEntry unused0;
    HookEntry unused1;
    PortValueHook hookSetInputPortFrameData;
    HookEntry unused3;
    InstanceHook hookSetDefaultPortDimensionInfo;
    InstanceHook hookSetDefaultPortDataTypes;
    InstanceHook hookSetDefaultPortComplexSignals;
    HookEntry unused7[12];
    PortHook hookInitializePropagationPass;
} ExtHookSlots;

#ifdef __cplusplus
static_assert(sizeof(HookSlots) == 24 * sizeof(void (*)(void)), "24 hook slots");
static_assert(sizeof(ExtHookSlots) == 20 * sizeof(void (*)(void)), "20 extension slots");
}
#endif

#endif
