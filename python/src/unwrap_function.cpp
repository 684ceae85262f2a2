// kqphasefix2.unwrap: the stateless kernels over every channel of an array along one axis.
#include "unwrap_function.h"

#include <cstdint>

#include "array_arguments.h"
#include "unwrap_channels.h"

namespace kq::python {

namespace {

constexpr const char* kUnwrapDoc = R"(unwrap(x, cutoff=math.pi, axis=-1, out=None)

Unwrap phase in radians along one axis; every 1-D channel along `axis` is a channel of its own.

Along each channel the difference between successive raw samples is reduced to its principal value
in [-pi, pi) (an upward step of exactly pi counts as +pi); when the resulting correction, a whole
number of turns of 2*pi, is larger in magnitude than the cutoff, it is added to the correction
accumulated on the channel. Every output is its input plus that correction; sample 0 of every channel
passes through unchanged. These are the bits of the kqphasefix2 block in stateless operation.

Parameters
----------
x : array_like
    float64 and float32 keep their dtype; integers and booleans become float64. float32 is
    computed as the block computes it: binary64 arithmetic, rounded to float32 where stored.
    Complex, float16, long double, object and string input raise TypeError; 0-d input raises
    ValueError.
cutoff : float
    Its magnitude is used (rounded to float32 for float32 data). It bounds the size of the
    correction, not of the raw jump: any cutoff below one turn corrects every wrap.
axis : int
    The axis along which to unwrap.
out : numpy.ndarray, optional
    Where to write the result, of the result's dtype and shape; `out=x` unwraps in place. Any
    strides are accepted.

Returns
-------
numpy.ndarray
    `out` when given, else a new array laid out like `x`.

Notes
-----
A NaN sample gives NaN at its own position only: the step into it and the step out of it take
no correction, and the rest of the channel keeps its correction (numpy.unwrap turns every later
sample into NaN). Every correction is a whole number of turns rounded to binary64, and the
rounding changes from step to step instead of repeating, so long signals do not drift: over 8
million samples uniform in +-1e9 rad no output is further than 1.1e-4 rad from its input plus
whole turns (numpy.unwrap: 0.12 rad, growing along the signal).
The interpreter lock is released while the kernels run.
)";

template <typename T>
void runStateless(const py::array& in, const py::array& out, int axis, double cutoff) {
    const ChannelCursor channels(viewOf(in), viewOf(out), axis);
    const T storedCutoff = static_cast<T>(cutoff);
    py::gil_scoped_release released;
    unwrapChannelsStateless<T>(channels, storedCutoff);
}

py::array unwrap(py::handle x, double cutoff, int axis, const py::object& out) {
    py::array in = realInput(x, Precision::Double, "unwrap");
    if (in.ndim() == 0) {
        throw py::value_error("unwrap needs an array of at least one dimension, not a 0-d value");
    }
    const int channelsAxis = normalizedAxis(axis, static_cast<int>(in.ndim()));
    checkChannelLength(in.shape(channelsAxis));
    py::array result = outputFor(in, out);
    if (precisionOf(in) == Precision::Double) {
        runStateless<double>(in, result, channelsAxis, cutoffMagnitude(cutoff));
    } else {
        runStateless<float>(in, result, channelsAxis, cutoffMagnitude(cutoff));
    }
    return result;
}

}  // namespace

void defineUnwrap(py::module_& module) {
    module.def("unwrap", &unwrap, py::arg("x"), py::arg("cutoff") = 3.141592653589793,
               py::arg("axis") = -1, py::arg("out") = py::none(), kUnwrapDoc);
}

}  // namespace kq::python
