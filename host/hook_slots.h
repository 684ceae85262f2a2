/* The tables of hook entry points kept in every BlockInstance. Every slot is NULL until the block
 * fills it in its load-time call; the host calls a filled slot directly or through kvxFunction with
 * the slot's flag code. Slots are listed in their fixed order. */
#ifndef KQ_HOST_HOOK_SLOTS_H
#define KQ_HOST_HOOK_SLOTS_H

#include "host/hook_forms.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The 24 main slots. */
typedef struct HookSlots {
    HookFormA hookInitializeSizes;
    HookEntry unused1;
    HookEntry unused2;
    /* Input port sizing: a HookFormP width hook when instanceFlags bit 0 is clear (code 115), a
     * HookFormD dimension-info hook when it is set (code 126). */
    HookEntry inputPortSizing;
    /* Output port sizing, as the input slot (codes 116 and 127). */
    HookEntry outputPortSizing;
    HookFormP hookSetInputPortDataType;    /* code 113 */
    HookFormP hookSetOutputPortDataType;   /* code 114 */
    HookFormA hookInitializeSampleTimes;   /* code 101 */
    HookFormT hookSetInputPortSampleTime;  /* code 122 */
    HookFormT hookSetOutputPortSampleTime; /* code 123 */
    HookFormA hookSetWorkWidths;           /* code 111 */
    HookFormA hookGXW;                     /* code 119: write the code-generation record */
    HookFormA hookInitializeConditions;    /* code 102 */
    HookFormA hookStart;                   /* code 117 */
    HookFormA hookCheckParameters;         /* code 112 */
    HookFormA hookProcessParameters;       /* code 118 */
    HookFormA hookGetTimeOfNextVarHit;     /* code 103 */
    HookFormA hookOutputs;                 /* code 104 */
    HookEntry unused18;
    HookEntry unused19;
    HookFormA hookZeroCrossings;              /* code 108 */
    HookFormA hookTerminate;                  /* code 107 */
    HookFormP hookSetInputPortComplexSignal;  /* code 120 */
    HookFormP hookSetOutputPortComplexSignal; /* code 121 */
} HookSlots;

/* The extension slots, reached through BlockInstance.extHookSlots (which may be NULL: every slot
 * then counts as empty). A block may leave them all empty. */
typedef struct ExtHookSlots {
    HookEntry unused0;
    HookEntry unused1;
    HookFormP hookSetInputPortFrameData; /* code 128 */
    HookEntry unused3;
    HookFormA hookSetDefaultPortDimensionInfo;  /* code 131 */
    HookFormA hookSetDefaultPortDataTypes;      /* code 132 */
    HookFormA hookSetDefaultPortComplexSignals; /* code 133 */
    HookEntry unused7[12];
    HookFormI hookInitializePropagationPass; /* code 142 */
} ExtHookSlots;

#ifdef __cplusplus
static_assert(sizeof(HookSlots) == 24 * sizeof(void (*)(void)), "24 hook slots");
static_assert(sizeof(ExtHookSlots) == 20 * sizeof(void (*)(void)), "20 extension slots");
}
#endif

#endif
