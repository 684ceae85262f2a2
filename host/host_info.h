/* HostInfo: the second host record of an instance, with the host mode, the record-writer services
 * and the arguments of the current port-wise hook call. */
#ifndef KQ_HOST_HOST_INFO_H
#define KQ_HOST_HOST_INFO_H

#include <stdint.h>

#include "host/port_records.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct BlockInstance BlockInstance;

/* Host modes, read with getSimMode. */
enum {
    kSimModeSizesQuery = 1, /* a command-line sizes query: an empty Tolerance passes */
    kSimModeHost2 = 2,      /* modes 2 and 3: the block marks paramAttributes and leaves */
    kSimModeHost3 = 3       /* its Cutoff to the host */
};

/* Appends raw text to the host's code-generation record; returns 1 on success. Called only during
 * the code-generation hook. */
typedef int32_t (*WriteRecordTextFn)(void* context, const char* text);

/* Appends one typed name/value pair (kind 0 to 10) to the record; returns 1 on success. value
 * refers to the elements (for the split kinds, to a SplitValue) and is valid only during the call.
 */
typedef int32_t (*WriteRecordPairFn)(void* context, int32_t kind, const char* name,
                                     const void* value, int32_t typeWord, int32_t rows,
                                     int32_t columns);

/* Sets a port's dimension record; returns 0 to refuse. The record stays the block's: the host
 * copies what it needs and never writes through it. */
typedef int32_t (*SetPortDimsFn)(BlockInstance* instance, int32_t port, const PortDimsRecord* dims);

/* Host-owned; the block only reads it. Fields in fixed order. */
typedef struct HostInfo {
    int32_t simMode;                   /* kSimMode*; read through getSimMode */
    const PortDimsRecord* portDims;    /* argument of a dimension-info call (codes 126, 127) */
    WriteRecordTextFn writeRecordText; /* must be present when code 119 runs */
    WriteRecordPairFn writeRecordPair; /* must be present when code 119 runs */
    void* recordWriterContext;         /* first argument of both writers */
    int32_t portValue; /* argument of a PortValueHook call: width, typeId, complexity or frame */
    SetPortDimsFn setInputPortDims;  /* optional: NULL when the host does not offer it */
    SetPortDimsFn setOutputPortDims; /* optional */
    double portSamplePeriod;         /* arguments of a sample-time call (codes 122, 123) */
    double portSampleOffset;
} HostInfo;

#ifdef __cplusplus
}
#endif

#endif
