// Host arrays of every shape and class a caller might hand the block, decoded from fuzz input.
#ifndef KQ_FUZZ_FUZZ_ARRAYS_H
#define KQ_FUZZ_FUZZ_ARRAYS_H

#include <cstdint>
#include <vector>

#include "fuzz/byte_reader.h"
#include "sim/libvz/vz_array_owner.h"
#include "sim/libvz/vz_host.h"

namespace kq::fuzz {

// Owns the arrays made for one input and destroys them with it.
using ArrayPool = kq::sim::VzArrayList;

struct ArrayShape {
    size_t numDims;
    size_t dims[3];
};

// 0x0, scalars, rows, columns, small matrices, empty rows and columns, and 3-D arrays whose
// trailing dimensions fold into the column count.
inline ArrayShape readArrayShape(ByteReader& in) {
    static constexpr ArrayShape kShapes[] = {
        {2, {1, 1, 0}}, {2, {0, 0, 0}}, {2, {1, 2, 0}}, {2, {2, 1, 0}}, {2, {2, 2, 0}},
        {2, {3, 1, 0}}, {2, {1, 0, 0}}, {2, {0, 3, 0}}, {3, {1, 1, 1}}, {3, {1, 1, 2}},
        {3, {2, 1, 2}}, {3, {1, 0, 1}}, {2, {1, 4, 0}}, {2, {2, 3, 0}}, {1, {1, 0, 0}},
    };
    return in.pick(kShapes);
}

// Writes element i of `array` (of its own class) from the input.
inline void fillElement(ByteReader& in, vzClassId classId, void* elements, size_t i) {
    switch (classId) {
        case vzDOUBLE_CLASS:
            static_cast<double*>(elements)[i] = interestingDouble(in);
            break;
        case vzSINGLE_CLASS:
            static_cast<float*>(elements)[i] = interestingFloat(in);
            break;
        case vzINT32_CLASS:
            static_cast<int32_t*>(elements)[i] = in.boolean()
                                                     ? static_cast<int32_t>(in.u32())
                                                     : static_cast<int32_t>(in.range(-2, 2));
            break;
        case vzLOGICAL_CLASS:
        case vzCHAR_CLASS:
            static_cast<unsigned char*>(elements)[i] = in.u8();
            break;
    }
}

// An array of the given shape and class, every element (real and imaginary) from the input. The
// caller owns it: an ArrayPool, or a HostInstance that takes it as a dialog parameter.
inline vzArray* makeArray(ByteReader& in, const ArrayShape& shape, vzClassId classId,
                          bool complex) {
    vzArray* array =
        vzCreateNumericArray(shape.numDims, shape.dims, classId, complex ? vzCOMPLEX : vzREAL);
    const size_t count = vzGetNumberOfElements(array);
    for (void* elements : {vzGetData(array), vzGetImagData(array)}) {
        for (size_t i = 0; elements != nullptr && i < count; ++i) {
            fillElement(in, classId, elements, i);
        }
    }
    return array;
}

// Any array: shape, class (double, single, int32, logical, char), complexity and elements.
inline vzArray* readArray(ByteReader& in) {
    const ArrayShape shape = readArrayShape(in);
    const auto classId = static_cast<vzClassId>(in.range(vzDOUBLE_CLASS, vzCHAR_CLASS));
    const bool complex = in.boolean();
    return makeArray(in, shape, classId, complex);
}

// Mostly a real double scalar (what a dialog usually holds), otherwise any array; owned by the
// caller.
inline vzArray* readDialogParam(ByteReader& in) {
    if (in.range(0, 3) != 0) {
        return vzCreateDoubleScalar(interestingDouble(in));
    }
    return readArray(in);
}

}  // namespace kq::fuzz

#endif
