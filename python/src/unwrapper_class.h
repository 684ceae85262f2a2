#ifndef KQ_PYTHON_UNWRAPPER_CLASS_H
#define KQ_PYTHON_UNWRAPPER_CLASS_H

#include <pybind11/pybind11.h>

namespace kq::python {

// Adds kqphasefix2.Unwrapper to the module.
void defineUnwrapper(pybind11::module_& module);

}  // namespace kq::python

#endif
