/* Work vectors: memory the host allocates and keeps for a block between calls. */
#ifndef KQ_HOST_WORK_VECTOR_RECORD_H
#define KQ_HOST_WORK_VECTOR_RECORD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One work vector. The block fills width, typeId, complexity and name in its work-width hook; the
 * host then allocates data (width elements of typeId, zero-filled) and keeps it until terminate.
 * The block never frees data. */
typedef struct WorkVectorRecord {
    int32_t width;      /* number of elements */
    int32_t typeId;     /* kTypeId* */
    int32_t complexity; /* 0 real */
    void* data;         /* host-allocated; NULL before the host allocates it */
    const char* name;   /* static text of the block, e.g. "Cumsum" */
} WorkVectorRecord;

#ifdef __cplusplus
}
#endif

#endif
