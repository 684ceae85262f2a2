// The stand-in host's array library: every routine of host/vz_array.h and sim/libvz/vz_host.h.
// C++ inside, C linkage outside; nothing here throws, failures of allocation abort.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "host/vz_array.h"
#include "sim/libvz/call_allocations.h"
#include "sim/libvz/vz_host.h"

// The array record. Its layout is the host's; the block sees only the opaque vzArray.
struct vzArray {
    vzClassId classId;
    bool complex;        // numeric classes only
    size_t numDims;      // at least 2
    size_t* dims;        // numDims entries
    size_t numColumns;   // product of dims[1...]
    size_t numElements;  // dims[0] * numColumns
    void* real;          // numElements elements of the class, NULL when numElements is 0
    void* imag;          // as real, NULL when the array is real
};

namespace {

[[noreturn]] void fail(const char* routine, const char* what) {
    std::fprintf(stderr, "libvz: %s: %s\n", routine, what);
    std::fflush(stderr);
    std::abort();
}

// calloc that never returns NULL: a zero count still yields a unique block.
void* checkedCalloc(size_t count, size_t size, const char* routine) {
    if (size != 0 && count > std::numeric_limits<size_t>::max() / size) {
        fail(routine, "requested size overflows size_t");
    }
    void* memory = std::calloc(count == 0 || size == 0 ? 1 : count, size == 0 ? 1 : size);
    if (memory == nullptr) {
        fail(routine, "out of memory");
    }
    return memory;
}

const vzArray* requireArray(const vzArray* array, const char* routine) {
    if (array == nullptr) {
        fail(routine, "called with a NULL array");
    }
    return array;
}

bool isNumericClass(vzClassId classId) {
    return classId == vzDOUBLE_CLASS || classId == vzSINGLE_CLASS || classId == vzINT32_CLASS;
}

size_t elementSize(vzClassId classId, const char* routine) {
    switch (classId) {
        case vzDOUBLE_CLASS:
            return sizeof(double);
        case vzSINGLE_CLASS:
            return sizeof(float);
        case vzINT32_CLASS:
            return sizeof(int32_t);
        case vzLOGICAL_CLASS:
        case vzCHAR_CLASS:
            return sizeof(unsigned char);
    }
    fail(routine, "unknown class id");
}

vzArray* createArray(size_t numDims, const size_t* dims, vzClassId classId, vzComplexity complexity,
                     const char* routine) {
    const size_t elemSize = elementSize(classId, routine);
    if (complexity != vzREAL && complexity != vzCOMPLEX) {
        fail(routine, "unknown complexity");
    }
    if (numDims > 0 && dims == nullptr) {
        fail(routine, "NULL dimension list");
    }
    const size_t storedDims = numDims < 2 ? 2 : numDims;

    auto* array = static_cast<vzArray*>(checkedCalloc(1, sizeof(vzArray), routine));
    array->classId = classId;
    array->complex = complexity == vzCOMPLEX && isNumericClass(classId);
    array->numDims = storedDims;
    array->dims = static_cast<size_t*>(checkedCalloc(storedDims, sizeof(size_t), routine));
    // Every partial product is checked, also when a later extent is 0, so that neither the column
    // count nor the element count can wrap around.
    size_t columns = 1;
    for (size_t i = 0; i < storedDims; ++i) {
        const size_t extent = i < numDims ? dims[i] : 1;
        array->dims[i] = extent;
        if (i == 0) {
            continue;
        }
        if (extent != 0 && columns > std::numeric_limits<size_t>::max() / extent) {
            fail(routine, "element count overflows size_t");
        }
        columns *= extent;
    }
    const size_t rows = array->dims[0];
    if (rows != 0 && columns > std::numeric_limits<size_t>::max() / rows) {
        fail(routine, "element count overflows size_t");
    }
    const size_t count = rows * columns;
    array->numColumns = columns;
    array->numElements = count;
    if (count > 0) {
        array->real = checkedCalloc(count, elemSize, routine);
        if (array->complex) {
            array->imag = checkedCalloc(count, elemSize, routine);
        }
    }
    return array;
}

}  // namespace

extern "C" {

const size_t* vzGetDimensions(const vzArray* array) {
    return requireArray(array, "vzGetDimensions")->dims;
}

size_t vzGetNumberOfDimensions(const vzArray* array) {
    return requireArray(array, "vzGetNumberOfDimensions")->numDims;
}

size_t vzGetM(const vzArray* array) {
    return requireArray(array, "vzGetM")->dims[0];
}

size_t vzGetN(const vzArray* array) {
    return requireArray(array, "vzGetN")->numColumns;
}

size_t vzGetNumberOfElements(const vzArray* array) {
    return requireArray(array, "vzGetNumberOfElements")->numElements;
}

bool vzIsEmpty(const vzArray* array) {
    return requireArray(array, "vzIsEmpty")->numElements == 0;
}

bool vzIsNumeric(const vzArray* array) {
    return isNumericClass(requireArray(array, "vzIsNumeric")->classId);
}

bool vzIsComplex(const vzArray* array) {
    requireArray(array, "vzIsComplex");
    return array->complex && isNumericClass(array->classId);
}

vzClassId vzGetClassId(const vzArray* array) {
    return requireArray(array, "vzGetClassId")->classId;
}

double* vzGetPr(const vzArray* array) {
    requireArray(array, "vzGetPr");
    if (array->classId != vzDOUBLE_CLASS || array->numElements == 0) {
        return nullptr;
    }
    return static_cast<double*>(array->real);
}

double vzGetScalar(const vzArray* array) {
    requireArray(array, "vzGetScalar");
    if (array->numElements == 0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    switch (array->classId) {
        case vzDOUBLE_CLASS:
            return static_cast<const double*>(array->real)[0];
        case vzSINGLE_CLASS:
            return static_cast<double>(static_cast<const float*>(array->real)[0]);
        case vzINT32_CLASS:
            return static_cast<double>(static_cast<const int32_t*>(array->real)[0]);
        case vzLOGICAL_CLASS:
            return static_cast<const unsigned char*>(array->real)[0] != 0 ? 1.0 : 0.0;
        case vzCHAR_CLASS:
            return static_cast<double>(static_cast<const unsigned char*>(array->real)[0]);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

vzArray* vzCreateDoubleMatrix(size_t rows, size_t columns, vzComplexity complexity) {
    const size_t dims[2] = {rows, columns};
    return createArray(2, dims, vzDOUBLE_CLASS, complexity, "vzCreateDoubleMatrix");
}

void* vzCalloc(size_t count, size_t size) {
    if (size != 0 && count > std::numeric_limits<size_t>::max() / size) {
        fail("vzCalloc", "requested size overflows size_t");
    }
    const size_t bytes = count * size;
    if (bytes > std::numeric_limits<size_t>::max() - sizeof(kq::sim::CallocHeader)) {
        fail("vzCalloc", "requested size overflows size_t");
    }
    // The header keeps the block's own bytes distinct, so a zero-byte request is unique too.
    auto* header =
        static_cast<kq::sim::CallocHeader*>(std::calloc(1, sizeof(kq::sim::CallocHeader) + bytes));
    if (header == nullptr) {
        fail("vzCalloc", "out of memory");
    }
    kq::sim::CallAllocations& allocations = kq::sim::threadCallAllocations();
    header->next = allocations.head;
    allocations.head = header;
    ++allocations.count;
    return header + 1;
}

vzArray* vzCreateNumericArray(size_t numDims, const size_t* dims, vzClassId classId,
                              vzComplexity complexity) {
    return createArray(numDims, dims, classId, complexity, "vzCreateNumericArray");
}

vzArray* vzCreateNumericMatrix(size_t rows, size_t columns, vzClassId classId,
                               vzComplexity complexity) {
    const size_t dims[2] = {rows, columns};
    return createArray(2, dims, classId, complexity, "vzCreateNumericMatrix");
}

vzArray* vzCreateDoubleScalar(double value) {
    vzArray* array = vzCreateDoubleMatrix(1, 1, vzREAL);
    static_cast<double*>(array->real)[0] = value;
    return array;
}

vzArray* vzCreateString(const char* text) {
    const size_t length = text == nullptr ? 0 : std::strlen(text);
    const size_t dims[2] = {1, length};
    vzArray* array = createArray(2, dims, vzCHAR_CLASS, vzREAL, "vzCreateString");
    if (length > 0) {
        std::memcpy(array->real, text, length);
    }
    return array;
}

void vzDestroyArray(vzArray* array) {
    if (array == nullptr) {
        return;
    }
    std::free(array->real);
    std::free(array->imag);
    std::free(array->dims);
    std::free(array);
}

void* vzGetData(vzArray* array) {
    return const_cast<vzArray*>(requireArray(array, "vzGetData"))->real;
}

void* vzGetImagData(vzArray* array) {
    return const_cast<vzArray*>(requireArray(array, "vzGetImagData"))->imag;
}

void vzReleaseCallAllocations(void) {
    kq::sim::threadCallAllocations().releaseAll();
}

size_t vzPendingCallAllocations(void) {
    return kq::sim::threadCallAllocations().count;
}

}  // extern "C"
