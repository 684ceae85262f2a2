// The checks and conversions shared by the module's functions: what input they accept, how an
// `out` argument must look, the cutoff they derive from a Python number.
#ifndef KQ_PYTHON_ARRAY_ARGUMENTS_H
#define KQ_PYTHON_ARRAY_ARGUMENTS_H

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>

#include "channel_cursor.h"

namespace kq::python {

namespace py = pybind11;

// The two precisions the kernels compute in.
enum class Precision { Double, Single };

py::dtype dtypeOf(Precision precision);

// "float64", "float32", ...
std::string dtypeName(const py::dtype& dtype);

// np.asarray(x), kept as float64 or float32 (in native byte order), or converted to `integerTo`
// from integers and booleans as numpy.unwrap converts them. Anything else (complex, float16,
// long double, objects, strings, dates) is refused with a TypeError.
py::array realInput(py::handle x, Precision integerTo, const char* caller);

// The precision of an array that realInput returned.
Precision precisionOf(const py::array& a);

// The array to write: a new array laid out like `in`, or `out` after checking that it is a
// writable numpy array of the result's dtype and shape. When `out` is given and may share memory
// with `in` without being the very same view, `in` is replaced by a copy of itself, so that no
// sample is overwritten before it is read.
py::array outputFor(py::array& in, const py::object& out);

// axis in [-ndim, ndim) as an index in [0, ndim); numpy's AxisError otherwise.
int normalizedAxis(int axis, int ndim);

// The kernels take channels of at most INT32_MAX samples; a ValueError for longer ones.
void checkChannelLength(int64_t length);

ArrayView viewOf(const py::array& a);

}  // namespace kq::python

#endif
