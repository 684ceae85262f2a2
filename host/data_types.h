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

/* Bytes of one element of a typeId: 8 for double, 4 for single, 1 for boolean, 0 for any other
 * id. The size a host's getDataTypeSize service reports for these types. */
static inline int32_t typeIdElementSize(int32_t typeId) {
    switch (typeId) {
        case kTypeIdDouble:
            return 8;
        case kTypeIdSingle:
            return 4;
        case kTypeIdBoolean:
            return 1;
        default:
            return 0;
    }
}

/* complexity of a port or work vector. */
enum { kComplexityReal = 0, kComplexityComplex = 1 };

/* frameMode of a port. */
enum {
    kFrameModeInherited = -1, /* not yet settled by propagation */
    kFrameModeSample = 0,     /* sample based: one sample per element and step */
    kFrameModeFrame = 1       /* frame based: the rows of a matrix are consecutive samples */
};

#endif
