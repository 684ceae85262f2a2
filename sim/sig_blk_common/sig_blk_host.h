/* Host-side routine of the stand-in host's block-support library (libsig_blk_common), beside those
 * of host/sig_blk_common.h. The block never calls it: it lets the host check that a block releases
 * what it takes. */
#ifndef KQ_SIM_SIG_BLK_COMMON_SIG_BLK_HOST_H
#define KQ_SIM_SIG_BLK_COMMON_SIG_BLK_HOST_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Number of blocks that tqCalloc handed out and tqFree has not released yet, over the whole
 * process and every thread. A host reads it before a start and after the matching terminate: a
 * block that releases its run-time record leaves it as it was. */
size_t tqHeldAllocations(void);

#ifdef __cplusplus
}
#endif

#endif
