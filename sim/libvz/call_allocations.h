// vzCalloc's bookkeeping: each block carries a header that links it into its thread's list, which
// the host releases after each command-line call and which is released when the thread ends.
#ifndef KQ_SIM_LIBVZ_CALL_ALLOCATIONS_H
#define KQ_SIM_LIBVZ_CALL_ALLOCATIONS_H

#include <cstddef>
#include <cstdlib>

namespace kq::sim {

struct alignas(alignof(std::max_align_t)) CallocHeader {
    CallocHeader* next;
};

struct CallAllocations {
    CallocHeader* head = nullptr;
    size_t count = 0;

    void releaseAll() {
        while (head != nullptr) {
            CallocHeader* next = head->next;
            std::free(head);
            head = next;
        }
        count = 0;
    }
    ~CallAllocations() { releaseAll(); }
};

// The calling thread's list, created on first use and released (blocks included) when the thread
// ends.
CallAllocations& threadCallAllocations();

}  // namespace kq::sim

#endif
