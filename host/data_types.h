/* Data type ids and frame settings shared by ports and work vectors. */
#ifndef KQ_HOST_DATA_TYPES_H
#define KQ_HOST_DATA_TYPES_H

#include <stdint.h>

/* typeId of a port or work vector. */
enum {
    kTypeIdUnset = -1, /* not yet set by propagation */
    kTypeIdDouble = 0, /* IEEE 754 binary64 */
    kTypeIdSingle = 1, /* IEEE 754 binary32 */
    kTypeIdBoolean = 8 /* one byte, 0 false, anything else true */
};

/* complexity of a port or work vector. */
enum { kComplexityReal = 0, kComplexityComplex = 1 };

/* frameMode of a port. */
enum {
    kFrameModeInherited = -1, /* not yet settled by propagation */
    kFrameModeSample = 0,     /* sample based: one sample per element and step */
    kFrameModeFrame = 1       /* frame based: the rows of a matrix are consecutive samples */
};

#endif
