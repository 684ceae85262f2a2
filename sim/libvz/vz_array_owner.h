// Ownership of host arrays for C++ host code: one array (VzArrayPtr) or any number made for one
// call or one test (VzArrayList), each released with vzDestroyArray when its owner goes.
#ifndef KQ_SIM_LIBVZ_VZ_ARRAY_OWNER_H
#define KQ_SIM_LIBVZ_VZ_ARRAY_OWNER_H

#include <memory>
#include <vector>

#include "sim/libvz/vz_host.h"

namespace kq::sim {

struct VzArrayDeleter {
    void operator()(vzArray* array) const { vzDestroyArray(array); }
};

using VzArrayPtr = std::unique_ptr<vzArray, VzArrayDeleter>;

// Keeps every array handed to it until it is destroyed.
class VzArrayList {
  public:
    vzArray* keep(vzArray* array) {
        owned_.emplace_back(array);
        return array;
    }

  private:
    std::vector<VzArrayPtr> owned_;
};

}  // namespace kq::sim

#endif
