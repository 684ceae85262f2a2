// Vector levels of the unwrap kernels: the scalar reference and the fast paths that give the same
// bits as the reference on every input, one list of them (KQ_VECTOR_LEVELS below).
//
// The level is chosen once per run: the block asks bestVectorLevel() at start and keeps the table
// entry of that level in its run-time record, so nothing is cached here and an output call makes
// no choice. Tests and benchmarks force a level through kernelsFor(); a level the processor lacks
// must not be run (vectorLevelAvailable() says which ones it has). Which levels a processor runs is
// a function of what it reports (vectorLevelRunsOn), so it can be checked for any processor.
//
// Example: kernelsFor(bestVectorLevel()).statelessCopyDbl(in, out, cutoff, numChans, frameLen)
// writes the same bits as kq_unwrap_stateless_copy_dbl(in, out, cutoff, numChans, frameLen).
#ifndef KQ_KERNELS_VECTOR_LEVEL_H
#define KQ_KERNELS_VECTOR_LEVEL_H

#include <array>
#include <cstdint>
#include <string_view>

#include "kernels/kernel_list.h"
#include "kernels/processor_features.h"

namespace kq {

// KQ_BUILT_VECTOR_LEVELS: the names of the levels whose translation units this build compiles,
// separated by commas. kernels/CMakeLists.txt defines it, for every target that links the
// kernels, from the list that picks those units (KQ_VECTOR_LEVELS of KqCompilerFlags.cmake).
#ifndef KQ_BUILT_VECTOR_LEVELS
#error "KQ_BUILT_VECTOR_LEVELS comes with the kq_kernels target: link it"
#endif
#define KQ_LEVEL_LIST_LITERAL(...) #__VA_ARGS__
#define KQ_LEVEL_LIST_TEXT(...) KQ_LEVEL_LIST_LITERAL(__VA_ARGS__)
constexpr std::string_view builtVectorLevelNames() {
    return KQ_LEVEL_LIST_TEXT(KQ_BUILT_VECTOR_LEVELS);
}

// True when `name` is one of the comma-separated names of `list`.
constexpr bool listedName(std::string_view name, std::string_view list) {
    while (!list.empty()) {
        const size_t comma = list.find(',');
        if (list.substr(0, comma) == name) {
            return true;
        }
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
    }
    return false;
}

// Whether this build compiles the level called `name`: the scalar one always.
constexpr bool builtLevelName(std::string_view name) {
    return name == "scalar" || listedName(name, builtVectorLevelNames());
}

// The x86-64 extensions each level's compiler flags enable (cmake/KqCompilerFlags.cmake), which
// the processor must have before the level runs: -mavx2 brings SSE3 to SSE4.2, POPCNT and XSAVE
// with AVX; the AVX-512 flags bring all of those with AVX2, FMA and F16C (-ffp-contract=off keeps
// fused multiply-adds out of the code: see kernels/CMakeLists.txt).
inline constexpr X86Extensions kAvx2LevelExtensions =
    extensionSet(X86Extension::Sse3, X86Extension::Ssse3, X86Extension::Sse41, X86Extension::Sse42,
                 X86Extension::Popcnt, X86Extension::Xsave, X86Extension::Avx, X86Extension::Avx2);
inline constexpr X86Extensions kAvx512LevelExtensions =
    kAvx2LevelExtensions | extensionSet(X86Extension::F16c, X86Extension::Fma,
                                        X86Extension::Avx512F, X86Extension::Avx512VL);

// X(Level, name, lanes, built, extensions): every vector level, in order of preference (the block
// runs the last available one).
// lanes is the number of binary64 lanes of one vector (each lane set's kLanes is checked against
// it), built whether this build has the level's kernels (from its name, see above), extensions
// what the processor must implement to run them. A new level is a row here, its lane set and
// translation unit in kernels/simd/, and its flags in KqCompilerFlags.cmake.
#define KQ_VECTOR_LEVELS(X)                                         \
    KQ_VECTOR_LEVEL(X, Scalar, "scalar", 1, X86Extensions{0})       \
    KQ_VECTOR_LEVEL(X, Avx2, "avx2", 4, kAvx2LevelExtensions)       \
    KQ_VECTOR_LEVEL(X, Avx512, "avx512", 8, kAvx512LevelExtensions) \
    KQ_VECTOR_LEVEL(X, Neon, "neon", 2, X86Extensions{0})
#define KQ_VECTOR_LEVEL(X, Level, name, lanes, extensions) \
    X(Level, name, lanes, builtLevelName(name), extensions)

enum class VectorLevel {
#define KQ_VECTOR_LEVEL_ENUM(Level, name, lanes, built, extensions) Level,
    KQ_VECTOR_LEVELS(KQ_VECTOR_LEVEL_ENUM)
#undef KQ_VECTOR_LEVEL_ENUM
};

inline constexpr std::array kAllVectorLevels = {
#define KQ_VECTOR_LEVEL_VALUE(Level, name, lanes, built, extensions) VectorLevel::Level,
    KQ_VECTOR_LEVELS(KQ_VECTOR_LEVEL_VALUE)
#undef KQ_VECTOR_LEVEL_VALUE
};

// The level's name in the list.
const char* vectorLevelName(VectorLevel level);

// The binary64 lanes of one vector of the level: 1 for the scalar level.
constexpr int32_t vectorLevelLanes(VectorLevel level) {
    switch (level) {
#define KQ_VECTOR_LEVEL_LANES(Level, name, lanes, built, extensions) \
    case VectorLevel::Level:                                         \
        return lanes;
        KQ_VECTOR_LEVELS(KQ_VECTOR_LEVEL_LANES)
#undef KQ_VECTOR_LEVEL_LANES
    }
    return 1;
}

// Whether this build has the level's kernels.
constexpr bool vectorLevelBuilt(VectorLevel level) {
    switch (level) {
#define KQ_VECTOR_LEVEL_BUILT(Level, name, lanes, built, extensions) \
    case VectorLevel::Level:                                         \
        return built;
        KQ_VECTOR_LEVELS(KQ_VECTOR_LEVEL_BUILT)
#undef KQ_VECTOR_LEVEL_BUILT
    }
    return false;
}

// The x86-64 extensions the level's instructions come from (none off x86-64).
X86Extensions vectorLevelExtensions(VectorLevel level);

// True when this build has the level's kernels and a processor reporting `report` runs them. The
// scalar level runs everywhere.
bool vectorLevelRunsOn(VectorLevel level, const ProcessorReport& report);

// The last level of the list that runs on a processor reporting `report`.
VectorLevel bestVectorLevelOn(const ProcessorReport& report);

// vectorLevelRunsOn(level, thisProcessor()): whether this processor may run the level.
bool vectorLevelAvailable(VectorLevel level);

// The level the block runs, bestVectorLevelOn(thisProcessor()), asked of the processor at every
// call.
VectorLevel bestVectorLevel();

// The kernels of one level, with the signatures of kernels/unwrap_kernels.h, kernels/unwrap_rows.h
// and kernels/chunk_carry.h; one member per entry of KQ_LEVEL_KERNELS (statelessCopyDbl ...
// runningFrameInPlaceSgl, rowsDbl, rowsSgl, takenCorrectionsDbl ... carriedSgl), in its order.
struct KernelSet {
// NOLINTNEXTLINE(bugprone-macro-parentheses): `member` is a declarator.
#define KQ_KERNEL_SET_MEMBER(Name, member, Form, T) KernelFn<KernelForm::Form, T>* member;
    KQ_LEVEL_KERNELS(KQ_KERNEL_SET_MEMBER)
#undef KQ_KERNEL_SET_MEMBER
};

// The kernels of `level`; the scalar set (the functions of kernels/unwrap_kernels.h) for a level
// this build does not have. Calling a set whose level is not available is undefined.
const KernelSet& kernelsFor(VectorLevel level);

}  // namespace kq

#endif
