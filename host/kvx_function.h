/* The one export of a block library, and how a host calls it. */
#ifndef KQ_HOST_KVX_FUNCTION_H
#define KQ_HOST_KVX_FUNCTION_H

#include <stdint.h>

#include "host/vz_array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* kvxFunction(numLeft, leftArgs, numRight, rightArgs).
 *
 * Host call, numLeft < 0: leftArgs[1] holds the BlockInstance* itself (converted to vzArray*), and
 * rightArgs[3] is a real array whose first element is the flag code (HostCallFlag). Nothing else is
 * read. Failures are stored in the root's errorStatus; nothing is raised. A host call whose
 * leftArgs is NULL, or whose leftArgs[1] is NULL, returns at once and touches nothing: there is no
 * instance to run on or to report to.
 *
 * Command-line call, numLeft >= 0: numRight >= 4 arrays; rightArgs[1] may carry the load-time
 * marker, rightArgs[3] is FLAG (must be the integer 0), rightArgs[4...] are the dialog parameters.
 * leftArgs[0] receives the 38x1 SizesVector, created with vzCreateDoubleMatrix and owned by the
 * caller afterwards. Failures are raised with kvxErrMsgTxt. */
typedef void (*KvxFunctionFn)(int32_t numLeft, vzArray* leftArgs[], int32_t numRight,
                              const vzArray* rightArgs[]);

/* How a block library marks kvxFunction as its export. A shared object built with every other
 * symbol hidden gives it the default visibility; a Windows DLL names it in its export list (a .def
 * file), and a host finds it by name at run time, so nothing is imported and the declaration needs
 * no dllimport. */
#if defined(_WIN32)
#define KQ_BLOCK_EXPORT
#elif defined(__GNUC__)
#define KQ_BLOCK_EXPORT __attribute__((visibility("default")))
#else
#define KQ_BLOCK_EXPORT
#endif

/* The entry point a block library defines, of type KvxFunctionFn. A host that links a block in
 * calls it directly; one that loads a block looks it up by this name. */
KQ_BLOCK_EXPORT void kvxFunction(int32_t numLeft, vzArray* leftArgs[], int32_t numRight,
                                 const vzArray* rightArgs[]);

/* Load-time marker in rightArgs[1]: a 2 x N double array whose element 0 is the address of the
 * host's BlockInstance as a double (truncated back to the address) and whose element 1 is exactly
 * kvxLevel2Stamp (5200229.0). The number of columns plays no part. */

/* The host-call flag codes and the hook each one runs, one row a code, in code order:
 *
 *   X(code, Name, Table, slot, form)
 *
 * The hook is "hook" Name (KQ_HOOK_NAME), the code's enumerator kFlag<Name>. Table is HookSlots or
 * ExtHookSlots (host/hook_slots.h), slot the member of it that holds the hook, and form the type
 * of hook the host calls it as (host/hook_forms.h). The two port sizing slots serve two
 * codes each, one per sizing style (instanceFlags bit 0). Codes 101 to 142 not listed are
 * invalid. */
#define KQ_HOST_CALL_FLAGS(X)                                                                    \
    X(101, InitializeSampleTimes, HookSlots, hookInitializeSampleTimes, InstanceHook)            \
    X(102, InitializeConditions, HookSlots, hookInitializeConditions, InstanceHook)              \
    X(103, GetTimeOfNextVarHit, HookSlots, hookGetTimeOfNextVarHit, InstanceHook)                \
    X(104, Outputs, HookSlots, hookOutputs, InstanceHook)                                        \
    X(107, Terminate, HookSlots, hookTerminate, InstanceHook)                                    \
    X(108, ZeroCrossings, HookSlots, hookZeroCrossings, InstanceHook)                            \
    X(111, SetWorkWidths, HookSlots, hookSetWorkWidths, InstanceHook)                            \
    X(112, CheckParameters, HookSlots, hookCheckParameters, InstanceHook)                        \
    X(113, SetInputPortDataType, HookSlots, hookSetInputPortDataType, PortValueHook)             \
    X(114, SetOutputPortDataType, HookSlots, hookSetOutputPortDataType, PortValueHook)           \
    X(115, SetInputPortWidth, HookSlots, inputPortSizing, PortValueHook)                         \
    X(116, SetOutputPortWidth, HookSlots, outputPortSizing, PortValueHook)                       \
    X(117, Start, HookSlots, hookStart, InstanceHook)                                            \
    X(118, ProcessParameters, HookSlots, hookProcessParameters, InstanceHook)                    \
    X(119, GXW, HookSlots, hookGXW, InstanceHook)                                                \
    X(120, SetInputPortComplexSignal, HookSlots, hookSetInputPortComplexSignal, PortValueHook)   \
    X(121, SetOutputPortComplexSignal, HookSlots, hookSetOutputPortComplexSignal, PortValueHook) \
    X(122, SetInputPortSampleTime, HookSlots, hookSetInputPortSampleTime, PortSampleTimeHook)    \
    X(123, SetOutputPortSampleTime, HookSlots, hookSetOutputPortSampleTime, PortSampleTimeHook)  \
    X(126, SetInputPortDimensionInfo, HookSlots, inputPortSizing, PortDimsHook)                  \
    X(127, SetOutputPortDimensionInfo, HookSlots, outputPortSizing, PortDimsHook)                \
    X(128, SetInputPortFrameData, ExtHookSlots, hookSetInputPortFrameData, PortValueHook)        \
    X(131, SetDefaultPortDimensionInfo, ExtHookSlots, hookSetDefaultPortDimensionInfo,           \
      InstanceHook)                                                                              \
    X(132, SetDefaultPortDataTypes, ExtHookSlots, hookSetDefaultPortDataTypes, InstanceHook)     \
    X(133, SetDefaultPortComplexSignals, ExtHookSlots, hookSetDefaultPortComplexSignals,         \
      InstanceHook)                                                                              \
    X(142, InitializePropagationPass, ExtHookSlots, hookInitializePropagationPass, PortHook)

/* The name of the hook of a row, as a string literal: KQ_HOOK_NAME(Outputs) is "hookOutputs". */
#define KQ_HOOK_NAME(Name) "hook" #Name

#define KQ_FLAG_ENUMERATOR(code, Name, Table, slot, form) kFlag##Name = code,
enum HostCallFlag { KQ_HOST_CALL_FLAGS(KQ_FLAG_ENUMERATOR) kFlagFirst = 101, kFlagLast = 142 };
#undef KQ_FLAG_ENUMERATOR

#ifdef __cplusplus
}
#endif

#endif
