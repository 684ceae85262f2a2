// The private instance of a command-line sizes query.
#ifndef KQ_ENTRY_QUERY_INSTANCE_H
#define KQ_ENTRY_QUERY_INSTANCE_H

#include <cstdint>

#include "host/block_instance.h"

namespace kq {

// A zeroed instance from vzCalloc, its own root, in host mode 1, named after the block, holding
// rightArgs[4...] as its dialog parameters (the same arrays, not copies), with the two port-count
// services below and nothing else. Host memory: the block never releases it.
BlockInstance* createQueryInstance(int32_t numRight, const vzArray* rightArgs[]);

// Port-count services of the private instance; the context is the instance itself. A negative
// count returns 0 and changes nothing; otherwise the count is stored, bit 1 of instanceFlags set,
// a positive count gets that many zeroed port records, and the result is 1.
int32_t queryInstanceSetNumInputPorts(void* context, int32_t count);
int32_t queryInstanceSetNumOutputPorts(void* context, int32_t count);

}  // namespace kq

#endif
