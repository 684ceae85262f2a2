/* Port records: what the host keeps for each input and output port of a block. */
#ifndef KQ_HOST_PORT_RECORDS_H
#define KQ_HOST_PORT_RECORDS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A port's size as a dimension record. The block passes kPropagatedDims (width -1, numDims -1, no
 * list), which leaves the size to propagation; the host must never write through it. */
typedef struct PortDimsRecord {
    int32_t width;       /* number of elements, or -1: set by propagation */
    int32_t numDims;     /* entries in dims, or -1: set by propagation */
    const int32_t* dims; /* rows, columns, ...; NULL when numDims is -1 */
} PortDimsRecord;

/* Bit layout of InputPortRecord.attributes. Bits not named here belong to the host. */
enum {
    kInputMayOverwriteBit = 1u << 0, /* the block may overwrite the input buffer */
    kInputReuseOptionShift = 1,      /* 2-bit reuse code, bits 1-2 */
    kInputReuseOptionMask = 3u << 1,
    kInputFrameModeLowBit = 1u << 3,  /* frameMode: 0 sample, 1 frame, when the high bit is clear */
    kInputFrameModeHighBit = 1u << 4, /* set: frameMode reads -1, inherited */
    kInputContiguousBit = 1u << 5     /* the block needs a contiguous buffer */
};

/* Bit layout of OutputPortRecord.attributes. */
enum {
    kOutputReuseOptionShift = 0, /* 2-bit reuse code, bits 0-1 */
    kOutputReuseOptionMask = 3u << 0,
    kOutputFrameModeLowBit = 1u << 2, /* frameMode, as for the input port, bits 2-3 */
    kOutputFrameModeHighBit = 1u << 3
};

/* Host-owned record of one input port. The block sets the attributes in its size hook and reads
 * typeId, the frame mode and dims after propagation, data and sharedWithOutput at start. */
typedef struct InputPortRecord {
    int32_t feedThrough;      /* 1: the output depends on this input at the same step */
    int32_t typeId;           /* kTypeId*, -1 until propagation settles it */
    int32_t complexity;       /* 0 real */
    void* data;               /* the input buffer, host-allocated, valid from start to terminate */
    uint32_t attributes;      /* kInput* bits above */
    int32_t width;            /* number of elements, settled by propagation */
    int32_t numDims;          /* 1: a one-dimensional vector; 2: a matrix (has a column entry) */
    int32_t* dims;            /* numDims entries: rows, columns; host-owned */
    int32_t sharedWithOutput; /* 0: output port 0 uses this same buffer; otherwise separate */
} InputPortRecord;

/* Host-owned record of one output port. The block reads only data, at start. */
typedef struct OutputPortRecord {
    int32_t typeId;
    int32_t complexity;
    void* data;          /* the output buffer; may be the input's buffer (see sharedWithOutput) */
    uint32_t attributes; /* kOutput* bits above */
    int32_t width;
    int32_t numDims;
    int32_t* dims;
} OutputPortRecord;

#ifdef __cplusplus
}
#endif

#endif
