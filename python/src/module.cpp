// The kqphasefix2 Python module: the block's unwrap kernels over numpy arrays.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "chunk_functions.h"
#include "kernel_calls.h"
#include "unwrap_function.h"
#include "unwrapper_class.h"

// The extension is kqphasefix2._core; the package kqphasefix2 re-exports it.
PYBIND11_MODULE(_core, module) {
    module.doc() =
        "Phase unwrapping with the bits of the kqphasefix2 block.\n\n"
        "The extension behind the package kqphasefix2, which checks the arguments and documents "
        "the calls. vector_level names the kernels' vector level on this processor, "
        "vector_levels every level of the kernels' list.";
    // Every docstring starts with its own Python signature.
    pybind11::options options;
    options.disable_function_signatures();
    kq::python::defineUnwrap(module);
    kq::python::defineUnwrapper(module);
    kq::python::defineChunkFunctions(module);
    module.attr("vector_level") = kq::python::chosenVectorLevelName();
    module.attr("vector_levels") = pybind11::tuple(pybind11::cast(kq::python::vectorLevelNames()));
    // The project's one version (the file VERSION at the top of the repository).
    module.attr("__version__") = KQ_PYTHON_VERSION;
}
