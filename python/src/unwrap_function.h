#ifndef KQ_PYTHON_UNWRAP_FUNCTION_H
#define KQ_PYTHON_UNWRAP_FUNCTION_H

#include <pybind11/pybind11.h>

namespace kqpy {

// Adds kqphasefix2.unwrap to the module.
void defineUnwrap(pybind11::module_& module);

}  // namespace kqpy

#endif
