// The kqphasefix2 Python module: the block's unwrap kernels over numpy arrays.
#include <pybind11/pybind11.h>

#include "chunk_functions.h"
#include "kernel_calls.h"
#include "unwrap_function.h"
#include "unwrapper_class.h"

// The extension is kqphasefix2._core; the package kqphasefix2 re-exports it.
PYBIND11_MODULE(_core, module) {
    module.doc() =
        "Phase unwrapping with the bits of the kqphasefix2 block.\n\n"
        "unwrap(x, cutoff, axis, out) unwraps every channel of an array on its own; Unwrapper "
        "unwraps a signal that arrives in chunks, carrying on across them. vector_level names "
        "the kernels' vector level on this processor.";
    // Every docstring starts with its own Python signature.
    pybind11::options options;
    options.disable_function_signatures();
    kq::python::defineUnwrap(module);
    kq::python::defineUnwrapper(module);
    kq::python::defineChunkFunctions(module);
    module.attr("vector_level") = kq::python::chosenVectorLevelName();
}
