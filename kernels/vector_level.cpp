// The kernel sets of the vector levels and the processor check that picks one.
#include "kernels/vector_level.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string_view>

#include "kernels/level_kernels.h"

namespace kq {

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
    {name, extensions, builtKernels<VectorLevel::Level, built>()},
    KQ_VECTOR_LEVELS(KQ_LEVEL_FACTS)
#undef KQ_LEVEL_FACTS
};

static_assert(std::size(kLevelFacts) == kAllVectorLevels.size());

// Every level the build compiles has a row in the list.
constexpr bool everyBuiltLevelIsListed() {
    constexpr std::string_view kNames[] = {
#define KQ_LEVEL_NAME(Level, name, lanes, built, extensions) name,
        KQ_VECTOR_LEVELS(KQ_LEVEL_NAME)
#undef KQ_LEVEL_NAME
    };
    std::string_view built = builtVectorLevelNames();
    while (!built.empty()) {
        const size_t comma = built.find(',');
        const std::string_view name = built.substr(0, comma);
        if (std::find(std::begin(kNames), std::end(kNames), name) == std::end(kNames)) {
            return false;
        }
        built.remove_prefix(comma == std::string_view::npos ? built.size() : comma + 1);
    }
    return true;
}
static_assert(everyBuiltLevelIsListed(), "KQ_BUILT_VECTOR_LEVELS names a level the list lacks");

const LevelFacts& factsOf(VectorLevel level) {
    return kLevelFacts[static_cast<int>(level)];
}

}  // namespace

const char* vectorLevelName(VectorLevel level) {
    return factsOf(level).name;
}

X86Extensions vectorLevelExtensions(VectorLevel level) {
    return factsOf(level).extensions;
}

bool vectorLevelRunsOn(VectorLevel level, const ProcessorReport& report) {
    const LevelFacts& facts = factsOf(level);
    return facts.kernels != nullptr && processorRuns(report, facts.extensions);
}

VectorLevel bestVectorLevelOn(const ProcessorReport& report) {
    // By the list's own facts: an inline variable such as kAllVectorLevels, used here, would be
    // writable data of the block library (GCC makes it a unique, writable object).
    VectorLevel best = VectorLevel::Scalar;
    for (size_t i = 0; i < std::size(kLevelFacts); ++i) {
        const auto level = static_cast<VectorLevel>(i);
        if (vectorLevelRunsOn(level, report)) {
            best = level;
        }
    }
    return best;
}

bool vectorLevelAvailable(VectorLevel level) {
    return vectorLevelRunsOn(level, thisProcessor());
}

VectorLevel bestVectorLevel() {
    return bestVectorLevelOn(thisProcessor());
}

const KernelSet& kernelsFor(VectorLevel level) {
    const KernelSet* kernels = factsOf(level).kernels;
    return kernels != nullptr ? *kernels : kLevelKernels<VectorLevel::Scalar>;
}

}  // namespace kq
