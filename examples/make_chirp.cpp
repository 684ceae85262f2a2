// Writes examples/chirp.csv, kqhost's example input: the wrapped phase of two noisy FM chirps.
//
//   make_chirp chirp.csv            writes the example
//   make_chirp --check chirp.csv    exits 1 unless the file holds exactly what would be written
//
// The noise comes from our own generator (splitmix64 and the Box-Muller transform), not from
// <random>'s distributions, whose output differs between standard library versions; the file is
// therefore the same wherever the math library rounds sin, cos, log and atan2 the same way.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

namespace {

constexpr int kSteps = 2000;
constexpr double kSamplePeriod = 1e-3;  // seconds
constexpr double kNoiseRms = 0.05;      // rad
constexpr std::uint64_t kSeed = 0x6b71706861736566;
constexpr double kPi = 3.141592653589793;

// Phase(t) = 2 pi (startHz t + 0.5 sweepHzPerS t^2) + offset.
struct Chirp {
    double startHz;
    double sweepHzPerS;
    double offsetRad;
};
constexpr Chirp kChirps[] = {{2.0, 4.0, 0.3}, {-3.0, 2.0, 1.2}};

class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
        z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
        return z ^ (z >> 31);
    }
    // Uniform in (0, 1]: 53 random bits, never 0 so that its logarithm is finite.
    double uniformOpenClosed() { return static_cast<double>((next() >> 11) + 1) * 0x1p-53; }

  private:
    std::uint64_t state_;
};

// One standard normal sample per call (the second Box-Muller value is not used, which keeps the
// sequence simple to reproduce).
double gaussian(SplitMix64& random) {
    const double radius = std::sqrt(-2.0 * std::log(random.uniformOpenClosed()));
    return radius * std::cos(2.0 * kPi * random.uniformOpenClosed());
}

std::string chirpCsv() {
    std::ostringstream out;
    out << "# chirp.csv: kqhost example input, the wrapped phase (rad) of two FM chirps with\n"
           "# Gaussian phase noise of 0.05 rad rms; 2000 time steps of 1 ms, one line per step.\n"
           "# ch 1: 2 Hz rising at 4 Hz/s, offset 0.3 rad; ch 2: -3 Hz rising at 2 Hz/s, offset\n"
           "# 1.2 rad. Wrapped into [-pi, pi] by atan2(sin, cos). Made by examples/make_chirp.cpp\n"
           "# (splitmix64 and Box-Muller noise, fixed seed): make_chirp chirp.csv\n";
    SplitMix64 random(kSeed);
    char text[32];
    for (int step = 0; step < kSteps; ++step) {
        const double t = step * kSamplePeriod;
        for (std::size_t channel = 0; channel < std::size(kChirps); ++channel) {
            const Chirp& chirp = kChirps[channel];
            const double phase = 2.0 * kPi * (chirp.startHz * t + 0.5 * chirp.sweepHzPerS * t * t) +
                                 chirp.offsetRad + kNoiseRms * gaussian(random);
            std::snprintf(text, sizeof text, "%.17g", std::atan2(std::sin(phase), std::cos(phase)));
            out << (channel == 0 ? "" : ",") << text;
        }
        out << '\n';
    }
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    const bool check = argc == 3 && std::string_view(argv[1]) == "--check";
    if (argc != 2 && !check) {
        std::cerr << "usage: make_chirp OUTPUT.csv | make_chirp --check EXISTING.csv\n";
        return 2;
    }
    const std::string path = argv[argc - 1];
    const std::string csv = chirpCsv();
    if (check) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream existing;
        existing << in.rdbuf();
        if (!in || existing.str() != csv) {
            std::cerr << "make_chirp: " << path << " differs from what make_chirp writes\n";
            return 1;
        }
        return 0;
    }
    std::ofstream out(path, std::ios::binary);
    out << csv;
    out.close();
    if (!out) {
        std::cerr << "make_chirp: cannot write " << path << '\n';
        return 1;
    }
    return 0;
}
