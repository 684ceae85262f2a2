// kqphasefix2.unwrap: the stateless kernels over every channel of an array along one axis.
#include "unwrap_function.h"

#include <cstdint>

#include "array_arguments.h"
#include "kernels/floating_point_mode.h"
#include "runtime/kq_wrap_step.h"
#include "unwrap_channels.h"

namespace kq::python {

namespace {

// The binding behind kqphasefix2.unwrap (kqphasefix2/_in_memory.py), which checks the
// arguments first and carries the documentation.
constexpr const char* kUnwrapDoc = R"(unwrap(x, cutoff, axis, out)

The stateless kernels over every channel of x along axis: kqphasefix2.unwrap without its argument
checks. Use kqphasefix2.unwrap.
)";

template <typename T>
void runStateless(const py::array& in, const py::array& out, int axis, double cutoff) {
    const ChannelCursor channels(viewOf(in), viewOf(out), axis);
    const T storedCutoff = static_cast<T>(cutoff);
    py::gil_scoped_release released;
    unwrapChannelsStateless<T>(channels, storedCutoff);
}

py::array unwrap(py::handle x, double cutoff, int axis, const py::object& out) {
    const kq::DefaultFloatingPointMode defaultMode;  // the bits need it, whatever the caller left
    py::array in = realInput(x, Precision::Double, "unwrap");
    if (in.ndim() == 0) {
        throw py::value_error("unwrap needs an array of at least one dimension, not a 0-d value");
    }
    const int channelsAxis = normalizedAxis(axis, static_cast<int>(in.ndim()));
    checkChannelLength(in.shape(channelsAxis));
    py::array result = outputFor(in, out);
    if (precisionOf(in) == Precision::Double) {
        runStateless<double>(in, result, channelsAxis, kq_cutoff_of_tolerance(cutoff));
    } else {
        runStateless<float>(in, result, channelsAxis, kq_cutoff_of_tolerance(cutoff));
    }
    return result;
}

}  // namespace

void defineUnwrap(py::module_& module) {
    module.def("unwrap", &unwrap, py::arg("x"), py::arg("cutoff") = 3.141592653589793,
               py::arg("axis") = -1, py::arg("out") = py::none(), kUnwrapDoc);
}

}  // namespace kq::python
