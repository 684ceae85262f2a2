// Shared helpers of the kernel tests: bit-exact comparison, a uniform catalogue of the twelve
// kernels of every vector level, and a runner that calls one kernel on guarded buffers while
// keeping its running state.
#ifndef KQ_TESTS_KERNELS_KERNEL_TEST_SUPPORT_H
#define KQ_TESTS_KERNELS_KERNEL_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "kernels/kernel_call.h"
#include "kernels/reference/value_bits.h"
#include "kernels/vector_level.h"

#if defined(__SANITIZE_ADDRESS__)
#define KQ_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KQ_TEST_ASAN 1
#endif
#endif
#if defined(KQ_TEST_ASAN)
#include <sanitizer/asan_interface.h>
#endif

// Test names and messages show a level by its name. Next to VectorLevel, where gtest looks.
namespace kq {
inline void PrintTo(VectorLevel level, std::ostream* os) {
    *os << vectorLevelName(level);
}
}  // namespace kq

namespace kq::test {

// ---------------------------------------------------------------------------------------------
// Vector levels as test parameters, from the one list

// Every level but the scalar one, which the others are compared with.
inline std::vector<VectorLevel> levelsBeyondScalar() {
    std::vector<VectorLevel> levels;
    for (VectorLevel level : kAllVectorLevels) {
        if (level != VectorLevel::Scalar) {
            levels.push_back(level);
        }
    }
    return levels;
}

// The name of a test instantiated for a level: the level's name.
inline std::string levelTestName(const ::testing::TestParamInfo<VectorLevel>& info) {
    return vectorLevelName(info.param);
}

// ---------------------------------------------------------------------------------------------
// Bits

using kq::ref::BitsOf;
using kq::ref::bitsOf;
using kq::ref::fromBits;

template <typename T>
std::string describe(T value) {
    return kq::ref::describeBits(value);
}

// Exact bit equality, NaN payloads included.
template <typename T>
::testing::AssertionResult sameBits(T actual, T expected) {
    if (bitsOf(actual) == bitsOf(expected)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "got " << describe(actual) << ", expected " << describe(expected);
}

template <typename T>
::testing::AssertionResult sameBits(const std::vector<T>& actual, const std::vector<T>& expected) {
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << "got " << actual.size() << " values, expected " << expected.size();
    }
    for (size_t i = 0; i < actual.size(); ++i) {
        if (bitsOf(actual[i]) != bitsOf(expected[i])) {
            return ::testing::AssertionFailure()
                   << "first difference at index " << i << ": got " << describe(actual[i])
                   << ", expected " << describe(expected[i]);
        }
    }
    return ::testing::AssertionSuccess();
}

// ---------------------------------------------------------------------------------------------
// Guarded buffers

// Signalling NaNs: no arithmetic produces them, so finding one in an output means a guard or an
// unwritten position leaked through, and reading one into the arithmetic turns a result into NaN.
template <typename T>
T guardValue() {
    if constexpr (sizeof(T) == 8) {
        return fromBits<T>(0x7FF4'0000'0000'6A4Dull);
    } else {
        return fromBits<T>(0x7FA0'6A4Du);
    }
}

template <typename T>
T unwrittenValue() {
    if constexpr (sizeof(T) == 8) {
        return fromBits<T>(0x7FF4'0000'0000'0BADull);
    } else {
        return fromBits<T>(0x7FA0'0BADu);
    }
}

template <>
inline uint8_t guardValue<uint8_t>() {
    return 0xA5;
}

// Read-write memory followed directly by a page that can be neither read nor written: an access
// one byte past it faults at once (SIGSEGV; an access violation on Windows), in every build,
// sanitizers or not. Move-only; the mapping is released with it.
class PageEndMemory {
  public:
    // At least `bytes` bytes of memory before the inaccessible page.
    explicit PageEndMemory(size_t bytes) {
        const size_t page = pageSize();
        const size_t usable = (bytes + page - 1) / page * page;
        length_ = usable + page;
#if defined(_WIN32)
        mapping_ = VirtualAlloc(nullptr, length_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        DWORD was = 0;
        if (mapping_ == nullptr || VirtualProtect(static_cast<std::byte*>(mapping_) + usable, page,
                                                  PAGE_NOACCESS, &was) == 0) {
            throw std::bad_alloc();
        }
#else
        mapping_ =
            mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping_ == MAP_FAILED ||
            mprotect(static_cast<std::byte*>(mapping_) + usable, page, PROT_NONE) != 0) {
            mapping_ = nullptr;
            throw std::bad_alloc();
        }
#endif
        end_ = static_cast<std::byte*>(mapping_) + usable;
    }
    PageEndMemory(PageEndMemory&& other) noexcept
        : mapping_(std::exchange(other.mapping_, nullptr)),
          length_(other.length_),
          end_(other.end_) {}
    PageEndMemory(const PageEndMemory&) = delete;
    PageEndMemory& operator=(const PageEndMemory&) = delete;
    PageEndMemory& operator=(PageEndMemory&&) = delete;
    ~PageEndMemory() {
        if (mapping_ != nullptr) {
#if defined(_WIN32)
            VirtualFree(mapping_, 0, MEM_RELEASE);
#else
            munmap(mapping_, length_);
#endif
        }
    }

    // The first byte of the inaccessible page.
    std::byte* end() const {
        return end_;
    }

  private:
    static size_t pageSize() {
#if defined(_WIN32)
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return info.dwPageSize;
#else
        return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
    }

    void* mapping_ = nullptr;
    size_t length_ = 0;
    std::byte* end_ = nullptr;
};

// Where a guarded buffer lays its values: `misalign` elements past a 64-byte boundary, with guard
// values after them; or, for pageEnd(), ending where an inaccessible page begins, so that a read
// past the last value faults as well as a write (the misalignment then follows from the size).
struct Placement {
    Placement(size_t misalignment = 0) : misalign(misalignment) {}  // NOLINT: a bare count is one
    static Placement pageEnd() {
        Placement p;
        p.atPageEnd = true;
        return p;
    }

    size_t misalign = 0;
    bool atPageEnd = false;
};

// The placements the kernel tables walk: on a 64-byte boundary, one element off it, and ending at
// an inaccessible page.
inline std::vector<Placement> everyPlacement() {
    return {Placement(0), Placement(1), Placement::pageEnd()};
}

inline std::string describe(Placement p) {
    return p.atPageEnd ? std::string("ending at a guard page")
                       : "misalign " + std::to_string(p.misalign);
}

// size values with kGuard guard values before them, and kGuard after them unless they end at an
// inaccessible page (see Placement). In an AddressSanitizer build the guard values are poisoned
// while a kernel runs, so even a read of them stops the test.
template <typename T>
class GuardedBuffer {
  public:
    static constexpr size_t kGuard = 16;
    static constexpr size_t kAlign = 64;

    GuardedBuffer(size_t size, T fill, Placement place = {})
        : size_(size), backGuards_(place.atPageEnd ? 0 : kGuard) {
        if (place.atPageEnd) {
            page_.emplace((kGuard + size) * sizeof(T));
            front_ = reinterpret_cast<T*>(page_->end()) - (kGuard + size);
        } else {
            heap_.resize(size + 2 * kGuard + 2 * kAlign / sizeof(T));
            const auto address = reinterpret_cast<uintptr_t>(heap_.data() + kGuard);
            const size_t toBoundary = (kAlign - address % kAlign) % kAlign / sizeof(T);
            front_ = heap_.data() + toBoundary + place.misalign % (kAlign / sizeof(T));
        }
        for (size_t i = 0; i < kGuard + size + backGuards_; ++i) {
            setBits(i, (i < kGuard || i >= kGuard + size) ? guardValue<T>() : fill);
        }
    }
    explicit GuardedBuffer(const std::vector<T>& values, Placement place = {})
        : GuardedBuffer(values.size(), T{}, place) {
        copyIn(values);
    }
    GuardedBuffer(GuardedBuffer&&) noexcept = default;
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(GuardedBuffer&&) = delete;
    ~GuardedBuffer() = default;

    T* data() { return front_ + kGuard; }
    size_t size() const { return size_; }

    std::vector<T> values() const {
        return std::vector<T>(front_ + kGuard, front_ + kGuard + size_);
    }
    void assign(const std::vector<T>& values) {
        ASSERT_EQ(values.size(), size_);
        copyIn(values);
    }

    bool guardsIntact() const {
        const T guard = guardValue<T>();
        for (size_t i = 0; i < kGuard + backGuards_; ++i) {
            const size_t at = i < kGuard ? i : i + size_;
            if (std::memcmp(front_ + at, &guard, sizeof(T)) != 0) {
                return false;
            }
        }
        return true;
    }

    void poisonGuards() {
#if defined(KQ_TEST_ASAN)
        ASAN_POISON_MEMORY_REGION(front_, kGuard * sizeof(T));
        ASAN_POISON_MEMORY_REGION(front_ + kGuard + size_, backGuards_ * sizeof(T));
#endif
    }
    void unpoisonGuards() {
#if defined(KQ_TEST_ASAN)
        ASAN_UNPOISON_MEMORY_REGION(front_, (kGuard + size_ + backGuards_) * sizeof(T));
#endif
    }

  private:
    // i counts from the first guard value.
    void setBits(size_t i, T value) {
        std::memcpy(front_ + i, &value, sizeof(T));
    }
    void copyIn(const std::vector<T>& values) {
        for (size_t i = 0; i < values.size(); ++i) {
            setBits(kGuard + i, values[i]);
        }
    }

    std::vector<T> heap_;
    std::optional<PageEndMemory> page_;
    T* front_ = nullptr;  // the first guard value
    size_t size_;
    size_t backGuards_;
};

// ---------------------------------------------------------------------------------------------
// The twelve kernels behind one calling form

using Shape = KernelShape;

// One kernel of one vector level. call() is the same for every kernel: in-place kernels get `out`
// as their buffer (the runner hands them the same buffer as `in`), stateless kernels ignore the
// state, per-element kernels see numChans * frameLen elements.
template <typename T>
struct KernelInfo {
    const char* name;
    Shape shape;
    bool inPlace;
    VectorLevel level;
    KernelForm form;

    void call(const T* in, T* out, T* prev, T* cumsum, T cutoff, int32_t numChans, int32_t frameLen,
              uint8_t* firstStep) const {
        runKernel<T>(
            kernelsFor(level), form,
            {in, out, prev, cumsum, cutoff, numChans, frameLen, numChans * frameLen, firstStep});
    }
};

// The six kernels of precision T at a level, in list order: copy then in place, for stateless,
// per element, per channel.
template <typename T>
const std::array<KernelInfo<T>, kNumKernelForms>& kernelCatalogue(
    VectorLevel level = VectorLevel::Scalar) {
    using Catalogue = std::array<KernelInfo<T>, kNumKernelForms>;
    static const std::array<Catalogue, kAllVectorLevels.size()> catalogues = [] {
        std::array<Catalogue, kAllVectorLevels.size()> all{};
        for (VectorLevel at : kAllVectorLevels) {
            Catalogue& c = all[static_cast<size_t>(at)];
            size_t n = 0;
#define KQ_CATALOGUE_ENTRY(Function, member, Form, TT)                                   \
    if constexpr (std::is_same_v<T, TT>) {                                               \
        c[n++] = {#Function, shapeOf(KernelForm::Form), isInPlace(KernelForm::Form), at, \
                  KernelForm::Form};                                                     \
    }
            KQ_UNWRAP_KERNELS(KQ_CATALOGUE_ENTRY)
#undef KQ_CATALOGUE_ENTRY
        }
        return all;
    }();
    return catalogues[static_cast<size_t>(level)];
}

template <typename T>
const KernelInfo<T>& findKernel(Shape shape, bool inPlace) {
    return kernelCatalogue<T>()[static_cast<size_t>(formOf(shape, inPlace))];
}

// ---------------------------------------------------------------------------------------------
// One kernel with its running state

// Calls one kernel on guarded buffers and keeps Prev, Cumsum and FirstStep between calls, as the
// block's work vectors do. Every call checks that no guard changed, that a copy kernel left its
// input alone, and that every output position was written.
template <typename T>
class KernelRunner {
  public:
    // Before the first call Prev and Cumsum hold a marker, not zeros: a first call must set both.
    // Every buffer, the state's and each call's input and output, is laid out by `place`.
    KernelRunner(const KernelInfo<T>& kernel, size_t stateLen, Placement place = {})
        : kernel_(kernel),
          place_(place),
          prev_(stateLen, unwrittenValue<T>(), place),
          cumsum_(stateLen, unwrittenValue<T>(), place),
          firstStep_(1, uint8_t{1}, place) {}

    const KernelInfo<T>& kernel() const { return kernel_; }

    // What the block does before the first output call: FirstStep true, Cumsum zero.
    void initializeConditions() {
        armFirstStep();
        cumsum_.assign(std::vector<T>(cumsum_.size(), T{0}));
    }
    // FirstStep true alone: the kernel's first call must then zero Cumsum itself.
    void armFirstStep() { *firstStep_.data() = 1; }
    // Prev and Cumsum as given and FirstStep clear: the next call goes on from that state.
    void setState(const std::vector<T>& prev, const std::vector<T>& cumsum) {
        prev_.assign(prev);
        cumsum_.assign(cumsum);
        *firstStep_.data() = 0;
    }

    std::vector<T> call(const std::vector<T>& in, T cutoff, int32_t numChans, int32_t frameLen) {
        GuardedBuffer<T> inBuf(in, place_);
        GuardedBuffer<T> outBuf = kernel_.inPlace
                                      ? GuardedBuffer<T>(in, place_)
                                      : GuardedBuffer<T>(in.size(), unwrittenValue<T>(), place_);
        const T* inPtr = kernel_.inPlace ? outBuf.data() : inBuf.data();

        poisonAll(inBuf, outBuf);
        kernel_.call(inPtr, outBuf.data(), prev_.data(), cumsum_.data(), cutoff, numChans, frameLen,
                     firstStep_.data());
        unpoisonAll(inBuf, outBuf);

        EXPECT_TRUE(outBuf.guardsIntact()) << kernel_.name << " wrote around its output";
        EXPECT_TRUE(prev_.guardsIntact()) << kernel_.name << " wrote around Prev";
        EXPECT_TRUE(cumsum_.guardsIntact()) << kernel_.name << " wrote around Cumsum";
        EXPECT_TRUE(firstStep_.guardsIntact()) << kernel_.name << " wrote around FirstStep";
        const std::vector<T> out = outBuf.values();
        if (!kernel_.inPlace) {
            EXPECT_TRUE(inBuf.guardsIntact()) << kernel_.name << " wrote around its input";
            EXPECT_TRUE(sameBits(inBuf.values(), in)) << kernel_.name << " changed its input";
            for (size_t i = 0; i < out.size(); ++i) {
                if (bitsOf(out[i]) == bitsOf(unwrittenValue<T>())) {
                    ADD_FAILURE() << kernel_.name << " did not write output " << i;
                    break;
                }
            }
        }
        return out;
    }

    std::vector<T> prev() const { return prev_.values(); }
    std::vector<T> cumsum() const { return cumsum_.values(); }
    uint8_t firstStep() const { return firstStep_.values()[0]; }

  private:
    void poisonAll(GuardedBuffer<T>& inBuf, GuardedBuffer<T>& outBuf) {
        inBuf.poisonGuards();
        outBuf.poisonGuards();
        prev_.poisonGuards();
        cumsum_.poisonGuards();
        firstStep_.poisonGuards();
    }
    void unpoisonAll(GuardedBuffer<T>& inBuf, GuardedBuffer<T>& outBuf) {
        inBuf.unpoisonGuards();
        outBuf.unpoisonGuards();
        prev_.unpoisonGuards();
        cumsum_.unpoisonGuards();
        firstStep_.unpoisonGuards();
    }

    const KernelInfo<T>& kernel_;
    Placement place_;
    GuardedBuffer<T> prev_;
    GuardedBuffer<T> cumsum_;
    GuardedBuffer<uint8_t> firstStep_;
};

// Number of Prev and Cumsum entries a kernel uses for this layout.
inline size_t stateLength(Shape shape, int32_t numChans, int32_t frameLen) {
    switch (shape) {
        case Shape::Stateless:
            return 0;
        case Shape::RunningSample:
            return static_cast<size_t>(std::max(0, numChans) * std::max(0, frameLen));
        case Shape::RunningFrame:
            return static_cast<size_t>(std::max(0, numChans));
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Random signals with hard values

// Values of one precision that the arithmetic treats specially.
template <typename T>
struct HardValues {
    static constexpr T pi = static_cast<T>(3.141592653589793);
    static constexpr T threePi = static_cast<T>(3.0 * static_cast<double>(pi));
    static constexpr T twoPi = static_cast<T>(6.283185307179586);
    // Differences just inside and just beyond the window below -pi where the floor bias gives one
    // turn less than the floor: about 1e-10 and 1e-9 below -pi in double, 1e-5 and 1e-4 in single.
    static constexpr T insideWindow =
        static_cast<T>(sizeof(T) == 8 ? -3.141592653689793 : -3.1416027545928955);
    static constexpr T beyondWindow =
        static_cast<T>(sizeof(T) == 8 ? -3.141592654589793 : -3.141692638397217);
    static constexpr T huge = static_cast<T>(sizeof(T) == 8 ? 1e300 : 3e38);

    static T belowPi() { return std::nextafter(pi, T{0}); }
};

// Draws from std::mt19937_64 with a given seed; tests print the seed on failure.
template <typename T>
class HardSignalSource {
  public:
    explicit HardSignalSource(uint64_t seed) : rng_(seed) {}

    std::mt19937_64& rng() { return rng_; }

    int32_t intIn(int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng_);
    }
    double uniform(double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng_);
    }

    // A difference between successive samples that the step treats specially.
    T hardStep() {
        using H = HardValues<T>;
        const T steps[] = {
            H::pi,           static_cast<T>(-H::pi), H::threePi,   static_cast<T>(-H::threePi),
            H::insideWindow, H::beyondWindow,        H::belowPi(), static_cast<T>(-H::belowPi()),
            H::twoPi,        static_cast<T>(1e-17)};
        return steps[intIn(0, static_cast<int32_t>(std::size(steps)) - 1)];
    }

    // A value that is hard on its own, wherever it lands in a signal.
    T specialValue(bool allowNonFinite) {
        using L = std::numeric_limits<T>;
        const T finite[] = {T{0},
                            -T{0},
                            L::denorm_min(),
                            static_cast<T>(-3 * L::denorm_min()),
                            L::min() / 2,
                            HardValues<T>::belowPi(),
                            static_cast<T>(1e15),
                            static_cast<T>(-1e15),
                            HardValues<T>::huge,
                            -HardValues<T>::huge};
        const T nonFinite[] = {L::quiet_NaN(), L::infinity(), -L::infinity()};
        const int32_t count = static_cast<int32_t>(std::size(finite)) + (allowNonFinite ? 3 : 0);
        const int32_t pick = intIn(0, count - 1);
        return pick < static_cast<int32_t>(std::size(finite)) ? finite[pick]
                                                              : nonFinite[pick - std::size(finite)];
    }

    // n samples: mostly ordinary steps of up to two turns, with exact hard steps (taken from a zero
    // so that the difference is exact), hard values, and occasional large jumps.
    std::vector<T> signal(size_t n, bool allowNonFinite = true) {
        std::vector<T> out;
        double last = uniform(-10.0, 10.0);
        while (out.size() < n) {
            const int32_t kind = intIn(0, 99);
            if (kind < 45) {
                if (!std::isfinite(last) || std::fabs(last) > 1e6) {
                    last = uniform(-10.0, 10.0);
                }
                last = static_cast<T>(last + uniform(-12.6, 12.6));
                out.push_back(static_cast<T>(last));
            } else if (kind < 65) {
                const T zero = intIn(0, 1) ? T{0} : -T{0};
                const T step = hardStep();
                const bool upward = intIn(0, 1) == 1;
                out.push_back(upward ? zero : step);
                out.push_back(upward ? step : zero);
                last = out.back();
            } else if (kind < 90) {
                out.push_back(specialValue(allowNonFinite));
                last = out.back();
            } else {
                last = static_cast<T>(uniform(-1000.0, 1000.0));
                out.push_back(static_cast<T>(last));
            }
        }
        out.resize(n);
        return out;
    }

    // A cutoff: the usual ones, the boundaries of a turn, ones no correction passes, ones around
    // the bound from which calm steps take no correction (kCalmCutoff), and a negative one, which
    // every correction passes.
    T cutoff() {
        using L = std::numeric_limits<T>;
        using H = HardValues<T>;
        const T cutoffs[] = {T{0},
                             H::pi,
                             static_cast<T>(1e-15),
                             static_cast<T>(1e-16),
                             static_cast<T>(2e-15),
                             T{-7},
                             H::twoPi,
                             std::nextafter(H::twoPi, T{0}),
                             T{1},
                             static_cast<T>(uniform(0.0, 20.0)),
                             L::infinity(),
                             L::quiet_NaN()};
        return cutoffs[intIn(0, static_cast<int32_t>(std::size(cutoffs)) - 1)];
    }

  private:
    std::mt19937_64 rng_;
};

}  // namespace kq::test

#endif
