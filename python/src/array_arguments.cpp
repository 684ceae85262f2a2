#include "array_arguments.h"

#include <limits>
#include <string>

namespace kq::python {

namespace {

py::module_ numpy() {
    return py::module_::import("numpy");
}

}  // namespace

std::string dtypeName(const py::dtype& dtype) {
    return py::str(static_cast<const py::handle&>(dtype)).cast<std::string>();
}

py::dtype dtypeOf(Precision precision) {
    return precision == Precision::Double ? py::dtype::of<double>() : py::dtype::of<float>();
}

py::array realInput(py::handle x, Precision integerTo, const char* caller) {
    py::array a = numpy().attr("asarray")(x);
    const py::dtype dtype = a.dtype();
    const char kind = dtype.kind();
    if (kind == 'f' && (dtype.itemsize() == 8 || dtype.itemsize() == 4)) {
        const py::dtype native =
            dtypeOf(dtype.itemsize() == 8 ? Precision::Double : Precision::Single);
        return dtype.equal(native) ? a : py::array(a.attr("astype")(native));
    }
    if (kind == 'i' || kind == 'u' || kind == 'b') {
        return a.attr("astype")(dtypeOf(integerTo));
    }
    if (kind == 'c') {
        throw py::type_error(std::string(caller) +
                             " takes real phase in radians, not complex numbers: pass "
                             "numpy.angle(z) for the phase of complex data");
    }
    if (kind == 'f') {
        throw py::type_error(std::string(caller) + " computes in float64 or float32, not in " +
                             dtypeName(dtype) + ": convert with .astype(numpy.float64)");
    }
    throw py::type_error(std::string(caller) +
                         " takes real numbers (float64, float32, integers or booleans), not "
                         "dtype " +
                         dtypeName(dtype));
}

Precision precisionOf(const py::array& a) {
    return a.dtype().itemsize() == 8 ? Precision::Double : Precision::Single;
}

py::array outputFor(py::array& in, const py::object& out) {
    if (out.is_none()) {
        return numpy().attr("empty_like")(in);
    }
    if (!py::isinstance<py::array>(out)) {
        throw py::type_error("out must be a numpy array, not " +
                             py::str(py::type::of(out)).cast<std::string>());
    }
    py::array target = py::reinterpret_borrow<py::array>(out);
    if (!target.dtype().equal(in.dtype())) {
        throw py::type_error("out must have the result's dtype " + dtypeName(in.dtype()) +
                             ", not " + dtypeName(target.dtype()));
    }
    bool sameShape = target.ndim() == in.ndim();
    for (py::ssize_t d = 0; sameShape && d < in.ndim(); ++d) {
        sameShape = target.shape(d) == in.shape(d);
    }
    if (!sameShape) {
        throw py::value_error("out must have the input's shape " +
                              py::str(in.attr("shape")).cast<std::string>() + ", not " +
                              py::str(target.attr("shape")).cast<std::string>());
    }
    if (!target.writeable()) {
        throw py::value_error("out is read-only");
    }
    bool sameView = target.data() == in.data();
    for (py::ssize_t d = 0; sameView && d < in.ndim(); ++d) {
        sameView = target.strides(d) == in.strides(d);
    }
    if (!sameView && numpy().attr("may_share_memory")(in, target).cast<bool>()) {
        in = in.attr("copy")();
    }
    return target;
}

int normalizedAxis(int axis, int ndim) {
    if (axis < -ndim || axis >= ndim) {
        py::module_ np = numpy();
        py::object axisError =
            py::hasattr(np, "exceptions") && py::hasattr(np.attr("exceptions"), "AxisError")
                ? np.attr("exceptions").attr("AxisError")
                : np.attr("AxisError");
        PyErr_SetObject(axisError.ptr(), axisError(axis, ndim).ptr());
        throw py::error_already_set();
    }
    return axis < 0 ? axis + ndim : axis;
}

void checkChannelLength(int64_t length) {
    if (length > std::numeric_limits<int32_t>::max()) {
        throw py::value_error("channels of more than 2147483647 samples are not supported; got " +
                              std::to_string(length));
    }
}

ArrayView viewOf(const py::array& a) {
    ArrayView view;
    view.data = static_cast<char*>(const_cast<void*>(a.data()));
    for (py::ssize_t d = 0; d < a.ndim(); ++d) {
        view.shape.push_back(a.shape(d));
        view.strides.push_back(a.strides(d));
    }
    return view;
}

}  // namespace kq::python
