/* BlockInstance: the host's record of one block, handed to every hook. The host owns it and
 * everything it refers to; the block owns only what it keeps in userData. */
#ifndef KQ_HOST_BLOCK_INSTANCE_H
#define KQ_HOST_BLOCK_INSTANCE_H

#include <stdint.h>

#include "host/hook_slots.h"
#include "host/host_info.h"
#include "host/port_records.h"
#include "host/sizes_entries.h"
#include "host/vz_array.h"
#include "host/work_vector_record.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Declares the number of ports; called as service(context, count) with the context value stored
 * beside it. Returns 1 and provides count zeroed port records, or 0 to refuse (a negative count).
 */
typedef int32_t (*SetNumPortsFn)(void* context, int32_t count);

/* Declares the number of work vectors: -1 leaves it open until the work-width hook, which calls it
 * again with the final count. Returns 1 and provides count zeroed WorkVectorRecords (none for -1),
 * or 0 to refuse. */
typedef int32_t (*SetNumWorkVectorsFn)(BlockInstance* instance, int32_t count);

/* Size in bytes of one element of a typeId, or 0 when the type is unknown. */
typedef int32_t (*GetDataTypeSizeFn)(void* context, int32_t typeId);

struct BlockInstance {
    const char* blockName; /* the host's name of the block, compared at load */
    const char* blockPath;
    BlockInstance* root; /* the instance whose errorStatus receives messages */
    const char*
        errorStatus; /* static text of the last failed hook; the host reports and clears it */
    int32_t sizes[kNumSizesEntries]; /* indexed by SizesIndex */

    SetNumPortsFn setNumInputPorts; /* always present */
    void* setNumInputPortsContext;
    SetNumPortsFn setNumOutputPorts; /* always present */
    void* setNumOutputPortsContext;
    InputPortRecord* inputPorts; /* numInputPorts records, host-owned */
    OutputPortRecord* outputPorts;

    int32_t numDialogParams;
    const vzArray** dialogParams; /* numDialogParams arrays; the block never writes them */
    uint32_t* paramAttributes;    /* one word per dialog parameter; NULL in a sizes query */

    ExtHookSlots* extHookSlots; /* may be NULL: no extension slot is filled */
    void* userData;             /* the block's own record; the host never touches it */

    WorkVectorRecord* workVectors; /* numWorkVectors records after setNumWorkVectors */
    HostInfo* hostInfo;            /* never NULL in an instance the host hands over */

    void* typeSizeContext;                 /* first argument of getDataTypeSize */
    GetDataTypeSizeFn getDataTypeSize;     /* optional: NULL when the host does not offer it */
    SetNumWorkVectorsFn setNumWorkVectors; /* optional: NULL in a sizes query */

    double* samplePeriod; /* one per sample time; -1.0 inherited until resolved */
    double* sampleOffset;

    HookSlots hookSlots;
};

/* Host mode of the instance (kSimMode*). */
static inline int32_t getSimMode(const BlockInstance* instance) {
    return instance->hostInfo->simMode;
}

/* Stores a static message in the root's errorStatus; the host reports it when the hook returns.
 * The text is stored by reference and must outlive the call (a constant of the block). */
static inline void setErrorStatus(BlockInstance* instance, const char* text) {
    instance->root->errorStatus = text;
}

#ifdef __cplusplus
}
#endif

#endif
