/* The shared block-support library (libsig_blk_common): helpers common to signal blocks. */
#ifndef KQ_HOST_SIG_BLK_COMMON_H
#define KQ_HOST_SIG_BLK_COMMON_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "host/block_instance.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Declares that the block expects count dialog parameters. Returns false, with a message stored
 * through setErrorStatus, when the instance holds another number of them. */
bool registerRBlockParams(BlockInstance* instance, int32_t count);

/* True when input port `port` carries single-precision data. */
bool isInputSingle(const BlockInstance* instance, int32_t port);

/* True when input port `port` is frame based (frameMode 1). */
bool isInputFrameDataOn(const BlockInstance* instance, int32_t port);

/* True when input port `port` has a column entry in its dims (a matrix, not a 1-D vector). */
bool isInputOriented(const BlockInstance* instance, int32_t port);

/* Sets every input and output port to the proposed typeId when it is double or single; any other
 * type stores a message through setErrorStatus and returns false, changing nothing. */
bool checkAndSetAllPortsToDblOrSngl(BlockInstance* instance, int32_t typeId);

/* Zeroed memory for count elements of size bytes, never NULL; release it with tqFree. */
void* tqCalloc(BlockInstance* instance, size_t count, size_t size);

/* Releases memory from tqCalloc; NULL does nothing. */
void tqFree(void* memory);

#ifdef __cplusplus
}
#endif

#endif
