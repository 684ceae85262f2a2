// The block's writers of the code-generation record: typed name/value pairs checked for shape and
// forwarded to the host's record-writer services (HostInfo.writeRecordPair, writeRecordText).
#ifndef KQ_ENTRY_GXW_RECORD_WRITER_H
#define KQ_ENTRY_GXW_RECORD_WRITER_H

#include <cstdarg>
#include <cstdint>

#include "host/block_instance.h"

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
enum PairValueKind : int32_t {
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
};

inline constexpr int32_t kNumPairValueKinds = 11;

// typeWord = typeId (kTypeId*) | kTypeWordComplexBit when the value has an imaginary part.
inline constexpr int32_t kTypeWordComplexBit = 0x10000;

// Value of the split kinds: real and imaginary elements kept apart. imagPart may be null when the
// typeWord has no complex bit.
struct SplitValue {
    const void* realPart;
    const void* imagPart;
};

// Checks the shape of one pair and forwards it to the host's writeRecordPair, returning that
// service's result unchanged. A failed check stores its message with setErrorStatus and returns 0;
// so does a missing hostInfo or writeRecordPair (without a message). Arguments a kind does not use
// are not read. Pass references as const void* and kind 3's list double as a double.
int32_t biWriteGXWNameValuePair(BlockInstance* instance, int32_t kind, const char* name,
                                const void* value, ...);

// biWriteGXWNameValuePair with its trailing arguments in a va_list. As with vprintf, the caller's
// va_list is indeterminate afterwards and must only be passed to va_end.
int32_t biWriteGXWNameValuePairV(BlockInstance* instance, int32_t kind, const char* name,
                                 const void* value, va_list args);

// Writes a whole group: "RBlkParamSettings {", then `count` list entries (kind, name, then the
// kind's list arguments), then "}". Stops at the first result other than 1 and returns it (0 for a
// failed check, with its message stored); returns the closing text's result when all succeeded.
// A count of 0 or less writes nothing and returns 0.
int32_t biWriteGXWParamSettings(BlockInstance* instance, int32_t count, ...);

#endif
