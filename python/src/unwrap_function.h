#ifndef KQ_PYTHON_UNWRAP_FUNCTION_H
#define KQ_PYTHON_UNWRAP_FUNCTION_H

#include <pybind11/pybind11.h>

namespace kq::python {

// Adds kqphasefix2.unwrap to the module.
void defineUnwrap(pybind11::module_& module);

}  // namespace kq::python

#endif
