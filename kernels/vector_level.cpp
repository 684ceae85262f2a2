// The kernel sets of the vector levels and the processor check that picks one.
#include "kernels/vector_level.h"

#include <cstddef>
#include <iterator>

#include "kernels/level_kernels.h"

namespace {

template <VectorLevel Level>
constexpr KernelSet kLevelKernels = {
#define KQ_LEVEL_KERNEL(Name, member, Form, T) .member = levelKernel<Level, KernelForm::Form, T>(),
    KQ_LEVEL_KERNELS(KQ_LEVEL_KERNEL)
#undef KQ_LEVEL_KERNEL
};

// What the list says of one level.
struct LevelFacts {
    const char* name;
    int32_t lanes;
    X86Extensions extensions;
    const KernelSet* kernels;  // null when this build does not have the level
};

// The kernel set of a level this build has; only those are instantiated.
template <VectorLevel Level, bool Built>
constexpr const KernelSet* builtKernels() {
    if constexpr (Built) {
        return &kLevelKernels<Level>;
    } else {
        return nullptr;
    }
}

constexpr LevelFacts kLevelFacts[] = {
#define KQ_LEVEL_FACTS(Level, name, lanes, built, extensions) \
    {name, lanes, extensions, builtKernels<VectorLevel::Level, built>()},
    KQ_VECTOR_LEVELS(KQ_LEVEL_FACTS)
#undef KQ_LEVEL_FACTS
};

static_assert(std::size(kLevelFacts) == kAllVectorLevels.size());

const LevelFacts& factsOf(VectorLevel level) {
    return kLevelFacts[static_cast<int>(level)];
}

}  // namespace

const char* vectorLevelName(VectorLevel level) {
    return factsOf(level).name;
}

int32_t vectorLevelLanes(VectorLevel level) {
    return factsOf(level).lanes;
}

X86Extensions vectorLevelExtensions(VectorLevel level) {
    return factsOf(level).extensions;
}

bool vectorLevelAvailable(VectorLevel level) {
    const LevelFacts& facts = factsOf(level);
    return facts.kernels != nullptr && processorRuns(facts.extensions);
}

VectorLevel bestVectorLevel() {
    // By the list's own facts: an inline variable such as kAllVectorLevels, used here, would be
    // writable data of the block library (GCC makes it a unique, writable object).
    VectorLevel best = VectorLevel::Scalar;
    for (size_t i = 0; i < std::size(kLevelFacts); ++i) {
        const auto level = static_cast<VectorLevel>(i);
        if (vectorLevelAvailable(level)) {
            best = level;
        }
    }
    return best;
}

const KernelSet& kernelsFor(VectorLevel level) {
    const KernelSet* kernels = factsOf(level).kernels;
    return kernels != nullptr ? *kernels : kLevelKernels<VectorLevel::Scalar>;
}
