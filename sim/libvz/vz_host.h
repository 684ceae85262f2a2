/* Host-side routines of the stand-in host's array library (libvz), beside those of host/vz_array.h.
 * The block never calls these: only the host creates, fills and destroys arrays and releases the
 * memory that vzCalloc handed out during a call of kvxFunction. */
#ifndef KQ_SIM_LIBVZ_VZ_HOST_H
#define KQ_SIM_LIBVZ_VZ_HOST_H

#include <stddef.h>

#include "host/vz_array.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Element storage of each class, as vzGetData and vzGetImagData expose it:
 *   vzDOUBLE_CLASS  double          vzSINGLE_CLASS  float
 *   vzINT32_CLASS   int32_t         vzLOGICAL_CLASS unsigned char (0 false, anything else true)
 *   vzCHAR_CLASS    unsigned char (one byte per character)
 * Elements are stored column-major, rows fastest. */

/* A new array with numDims dimension entries (fewer than two are padded with 1), zero-filled. Only
 * the numeric classes (double, single, int32) take vzCOMPLEX; for logical and char the complexity
 * is ignored and the array is real. Never NULL: an unknown class, an element count that overflows
 * or a failed allocation prints a message to stderr and aborts. The caller owns the array and
 * releases it with vzDestroyArray. The dimension list is kept as given (no trailing 1 is dropped).
 */
vzArray* vzCreateNumericArray(size_t numDims, const size_t* dims, vzClassId classId,
                              vzComplexity complexity);

/* vzCreateNumericArray with the two dimensions rows, columns. */
vzArray* vzCreateNumericMatrix(size_t rows, size_t columns, vzClassId classId,
                               vzComplexity complexity);

/* A real 1 x 1 double array holding value. */
vzArray* vzCreateDoubleScalar(double value);

/* A 1 x n char array holding the n bytes of text (without its terminator); NULL gives 1 x 0. */
vzArray* vzCreateString(const char* text);

/* Releases an array and its elements; NULL does nothing. */
void vzDestroyArray(vzArray* array);

/* The real elements, in the storage of the array's class; NULL when the array holds no element.
 * Valid and writable while the array lives. */
void* vzGetData(vzArray* array);

/* The imaginary elements, as vzGetData; NULL when the array is real or holds no element. */
void* vzGetImagData(vzArray* array);

/* Frees every block that vzCalloc handed out on the calling thread since the last release. The host
 * calls it after each command-line call of kvxFunction has returned (or raised): that memory is the
 * host's, the block never frees it. Blocks of other threads are untouched; what a thread still
 * holds when it ends is freed then. */
void vzReleaseCallAllocations(void);

/* Number of vzCalloc blocks the calling thread holds since its last release (for the host's
 * checks and tests). */
size_t vzPendingCallAllocations(void);

#ifdef __cplusplus
}
#endif

#endif
