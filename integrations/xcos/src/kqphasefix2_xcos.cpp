// The Xcos block's computational function (scicos type 4): scicos's flags turned into the life of
// one kqphasefix2 block, driven through its kvxFunction by the stand-in engine.
//
//   flag 4 (Initialization)  load the library; load-time call, parameter check, propagation,
//                            sample time, work vectors, start and initial conditions
//   flag 1 (OutputUpdate)    one output step per activation, after reporting an edited Tolerance
//   flag 5 (Ending)          terminate, then unload
//
// No exception leaves this file: a failure becomes a scicos error with the block's message.
#include <exception>
#include <memory>
#include <new>

#include "integrations/xcos/src/xcos_block_settings.h"
#include "integrations/xcos/src/xcos_unwrap_adapter.h"
// scicos's headers declare C functions without a C++ guard of their own.
extern "C" {
#include "scicos.h"
#include "scicos_block4.h"
}

namespace {

using kq::xcos::XcosUnwrapAdapter;

XcosUnwrapAdapter*& adapterOf(scicos_block* block) {
    return *reinterpret_cast<XcosUnwrapAdapter**>(block->work);
}

void initialize(scicos_block* block) {
    const kq::xcos::XcosBlockSettings settings = kq::xcos::readXcosBlockSettings(
        GetRparPtrs(block), GetNrpar(block), GetIparPtrs(block), GetNipar(block),
        GetInPortRows(block, 1), GetInPortCols(block, 1));
    adapterOf(block) = new XcosUnwrapAdapter(settings);
}

void outputUpdate(scicos_block* block) {
    // Only an activation of the event input runs an output step (a flag-1 call without one, as
    // the solver makes for continuous-time outputs, must not): each advances a running unwrap.
    if (GetNevIn(block) <= 0 || adapterOf(block) == nullptr) {
        return;
    }
    adapterOf(block)->output(GetRparPtrs(block), GetRealInPortPtrs(block, 1),
                             GetRealOutPortPtrs(block, 1));
}

// scicos may end a block whose initialization failed, which has no adapter.
void ending(scicos_block* block) {
    const std::unique_ptr<XcosUnwrapAdapter> adapter(adapterOf(block));
    adapterOf(block) = nullptr;
    if (adapter != nullptr) {
        adapter->terminate();
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void kqphasefix2_xcos(scicos_block* block,
                                                                        int flag) {
    try {
        switch (flag) {
            case Initialization:
                adapterOf(block) = nullptr;
                initialize(block);
                break;
            case OutputUpdate:
                outputUpdate(block);
                break;
            case Ending:
                ending(block);
                break;
            default:
                break;
        }
    } catch (const std::bad_alloc&) {
        set_block_error(-16);
    } catch (const std::exception& error) {
        Coserror("kqphasefix2: %s", error.what());
    } catch (...) {
        Coserror("kqphasefix2: unknown failure");
    }
}
