// The random draws of kqhost validate. Every draw is defined here bit for bit on top of the
// standard's fully specified 64-bit Mersenne twister, never through the standard library's
// distributions (whose results differ between implementations), so that a printed seed replays the
// same run on every build.
#ifndef KQ_SIM_KQHOST_VALIDATE_VALIDATE_RANDOM_H
#define KQ_SIM_KQHOST_VALIDATE_VALIDATE_RANDOM_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>

namespace kq::kqhost {

class ValidateRandom {
  public:
    explicit ValidateRandom(uint64_t seed) : engine_(seed) {}

    // 64 random bits.
    uint64_t bits() { return engine_(); }
    // A whole number from 0 to n - 1; n must be above 0. The bias of the remainder is below
    // n / 2^64, far too small to matter here.
    uint64_t below(uint64_t n) { return bits() % n; }
    // A whole number from lo to hi, both included (lo <= hi).
    int64_t between(int64_t lo, int64_t hi) {
        return lo + static_cast<int64_t>(below(static_cast<uint64_t>(hi - lo) + 1));
    }
    // Uniform in [0, 1), a multiple of 2^-53.
    double unit() { return static_cast<double>(bits() >> 11) * 0x1p-53; }
    // Uniform in [lo, hi).
    double uniform(double lo, double hi) { return lo + (hi - lo) * unit(); }
    // True with probability p.
    bool chance(double p) { return unit() < p; }
    // One of the items, each as likely as the others; items must not be empty.
    template <typename Items>
    const auto& pick(const Items& items) {
        return items[static_cast<size_t>(below(std::size(items)))];
    }

  private:
    std::mt19937_64 engine_;
};

// The seed of simulation `index` of a run seeded with `runSeed`: each simulation draws from a
// stream of its own, so that one of them can be replayed without running the ones before it.
inline uint64_t simulationSeed(uint64_t runSeed, uint64_t index) {
    // splitmix64 of the pair: neighbouring indices give unrelated seeds.
    uint64_t z = runSeed + 0x9e3779b97f4a7c15u * (index + 1);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return z ^ (z >> 31);
}

}  // namespace kq::kqhost

#endif
