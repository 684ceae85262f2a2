#include "sim/libvz/call_allocations.h"

namespace kq::sim {

CallAllocations& threadCallAllocations() {
    thread_local CallAllocations allocations;
    return allocations;
}

}  // namespace kq::sim
