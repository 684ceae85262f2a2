// The private functions under kqphasefix2.dask: the three passes of an unwrap cut into chunks
// along its axis (kernels/chunk_carry.h), over a block of channels in one call.
#ifndef KQ_PYTHON_CHUNK_FUNCTIONS_H
#define KQ_PYTHON_CHUNK_FUNCTIONS_H

#include <pybind11/pybind11.h>

namespace kq::python {

void defineChunkFunctions(pybind11::module_& module);

}  // namespace kq::python

#endif
