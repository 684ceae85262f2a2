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

/* Load-time marker in rightArgs[1]: a 2 x N double array whose element 0 is the address of the
 * host's BlockInstance as a double (truncated back to the address) and whose element 1 is exactly
 * kvxLevel2Stamp (5200229.0). The number of columns plays no part. */

/* Host-call flag codes. Codes 101 to 142 not listed here are invalid. */
enum HostCallFlag {
    kFlagInitializeSampleTimes = 101,
    kFlagInitializeConditions = 102,
    kFlagGetTimeOfNextVarHit = 103,
    kFlagOutputs = 104,
    kFlagTerminate = 107,
    kFlagZeroCrossings = 108,
    kFlagSetWorkWidths = 111,
    kFlagCheckParameters = 112,
    kFlagSetInputPortDataType = 113,
    kFlagSetOutputPortDataType = 114,
    kFlagSetInputPortWidth = 115,
    kFlagSetOutputPortWidth = 116,
    kFlagStart = 117,
    kFlagProcessParameters = 118,
    kFlagGXW = 119,
    kFlagSetInputPortComplexSignal = 120,
    kFlagSetOutputPortComplexSignal = 121,
    kFlagSetInputPortSampleTime = 122,
    kFlagSetOutputPortSampleTime = 123,
    kFlagSetInputPortDimensionInfo = 126,
    kFlagSetOutputPortDimensionInfo = 127,
    kFlagSetInputPortFrameData = 128,
    kFlagSetDefaultPortDimensionInfo = 131,
    kFlagSetDefaultPortDataTypes = 132,
    kFlagSetDefaultPortComplexSignals = 133,
    kFlagInitializePropagationPass = 142,
    kFlagFirst = 101,
    kFlagLast = 142
};

#ifdef __cplusplus
}
#endif

#endif
