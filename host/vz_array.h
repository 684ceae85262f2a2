/* The host's array library (libvz): the only way the block looks into an array value.
 *
 * Every argument and result of kvxFunction and every dialog parameter is a vzArray. The record is
 * opaque: the block reads arrays only through these routines and never frees what they return. */
#ifndef KQ_HOST_VZ_ARRAY_H
#define KQ_HOST_VZ_ARRAY_H

#include <stdbool.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Host-owned array value; its layout belongs to the host. */
typedef struct vzArray vzArray;

/* Element class of an array. Numeric classes are double, single and int32; the others are not. */
typedef enum vzClassId {
    vzDOUBLE_CLASS = 0,
    vzSINGLE_CLASS = 1,
    vzINT32_CLASS = 2,
    vzLOGICAL_CLASS = 3,
    vzCHAR_CLASS = 4
} vzClassId;

typedef enum vzComplexity { vzREAL = 0, vzCOMPLEX = 1 } vzComplexity;

/* Dimension list of the array: entry 0 is the number of rows, entry 1 the number of columns.
 * Valid while the array lives; always at least two entries. */
const size_t* vzGetDimensions(const vzArray* array);

/* Number of entries in the dimension list (2 for a matrix). */
size_t vzGetNumberOfDimensions(const vzArray* array);

/* Number of rows (dimension entry 0). */
size_t vzGetM(const vzArray* array);

/* Number of columns: the product of every dimension after the first. */
size_t vzGetN(const vzArray* array);

/* Number of elements: rows times columns. */
size_t vzGetNumberOfElements(const vzArray* array);

/* True when the array holds no element. */
bool vzIsEmpty(const vzArray* array);

/* True for the numeric classes (double, single, int32). */
bool vzIsNumeric(const vzArray* array);

/* True for a numeric array that carries an imaginary part. */
bool vzIsComplex(const vzArray* array);

/* Class of the elements. */
vzClassId vzGetClassId(const vzArray* array);

/* The real elements as doubles, in place, or NULL when the array is not of the double class or
 * holds no element. Writable only in an array the caller created. */
double* vzGetPr(const vzArray* array);

/* The first real element converted to a double (numeric, logical and char classes); NaN when the
 * array is empty. */
double vzGetScalar(const vzArray* array);

/* A new rows x columns double array, zero-filled, never NULL. The caller owns it; a block that
 * creates one hands it to the host through a result slot and never frees it. */
vzArray* vzCreateDoubleMatrix(size_t rows, size_t columns, vzComplexity complexity);

/* Zero-filled host memory for count elements of size bytes, never NULL. The host owns it and
 * releases it when the call of kvxFunction that took it has ended; the block never frees it. */
void* vzCalloc(size_t count, size_t size);

#ifdef __cplusplus
}
#endif

#endif
