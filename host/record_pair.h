/* The vocabulary of code-generation record pairs, shared by the block's writers and the host's
 * writeRecordPair service. */
#ifndef KQ_HOST_RECORD_PAIR_H
#define KQ_HOST_RECORD_PAIR_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Kind of a pair's value. Trailing arguments of a pair call (after the value) / of a settings list
// entry (after kind and name); every count, rows, columns and typeWord is an int32_t:
//
//   kind                   pair call                  settings list entry
//   valueItemA             -                          value
//   valueItemB             -                          value
//   valueItemList          count                      value, count
//   valueDoubleScalar      typeWord                   one double, by value
//   valueDoubleVector      typeWord, count            value, count
//   valueDoubleMatrix      typeWord, rows, columns    value, rows, columns
//   valueTypedScalar       typeWord                   value, typeWord
//   valueTypedVector       typeWord, count            value, count, typeWord
//   valueTypedMatrix       typeWord, rows, columns    value, rows, columns, typeWord
//   valueSplitVector       typeWord, count            real part, imaginary part, count, typeWord
//   valueSplitMatrix       typeWord, rows, columns    real, imaginary, rows, columns, typeWord
//
// A value is passed as a const void* to its elements (column-major for a matrix); for the split
// kinds the pair call's value is a const SplitValue*. A count gives rows = count, columns = 1. The
// double kinds carry no type in a settings list: it passes typeWord 0 (double) for them.
typedef enum PairValueKind {
    valueItemA = 0,
    valueItemB = 1,
    valueItemList = 2,
    valueDoubleScalar = 3,
    valueDoubleVector = 4,
    valueDoubleMatrix = 5,
    valueTypedScalar = 6,
    valueTypedVector = 7,
    valueTypedMatrix = 8,
    valueSplitVector = 9,
    valueSplitMatrix = 10
} PairValueKind;

enum { kNumPairValueKinds = 11 };

// typeWord = typeId (kTypeId*) | kTypeWordComplexBit when the value has an imaginary part.
enum { kTypeWordComplexBit = 0x10000 };

// Value of the split kinds: real and imaginary elements kept apart. imagPart may be null when the
// typeWord has no complex bit.
typedef struct SplitValue {
    const void* realPart;
    const void* imagPart;
} SplitValue;

#ifdef __cplusplus
}
#endif

#endif
