// Writes wrapped phase as raw little-endian binary64 (.f64) or binary32 (.f32) for the streaming
// benchmark: atan2(sin, cos) of a ramp of STEP rad per sample (default 0.3) plus Gaussian noise of
// 0.05 rad, from a fixed seed, in chunks so that any length is written in bounded memory.
//
//   make_phase_file OUTPUT.f64|OUTPUT.f32 SAMPLES [STEP]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: make_phase_file OUTPUT.f64|OUTPUT.f32 SAMPLES [STEP]\n");
        return 2;
    }
    const std::string path = argv[1];
    const bool single = path.size() > 4 && path.compare(path.size() - 4, 4, ".f32") == 0;
    const unsigned long long samples = std::strtoull(argv[2], nullptr, 10);
    const double step = argc == 4 ? std::atof(argv[3]) : 0.3;
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "make_phase_file: cannot open %s\n", path.c_str());
        return 1;
    }
    std::mt19937_64 rng(20240601);
    std::normal_distribution<double> noise(0.0, 0.05);
    double phase = 0.1;
    std::vector<double> dbl(1 << 16);
    std::vector<float> sgl(dbl.size());
    for (unsigned long long done = 0; done < samples;) {
        const size_t n =
            static_cast<size_t>(std::min<unsigned long long>(dbl.size(), samples - done));
        for (size_t i = 0; i < n; ++i) {
            // Kept within a turn so that the ramp stays exact over long files.
            phase = std::remainder(phase + step + noise(rng), 2 * std::numbers::pi);
            dbl[i] = std::atan2(std::sin(phase), std::cos(phase));
            sgl[i] = static_cast<float>(dbl[i]);
        }
        const size_t written = single ? std::fwrite(sgl.data(), sizeof(float), n, out)
                                      : std::fwrite(dbl.data(), sizeof(double), n, out);
        if (written != n) {
            std::fprintf(stderr, "make_phase_file: write failed on %s\n", path.c_str());
            std::fclose(out);
            return 1;
        }
        done += n;
    }
    return std::fclose(out) == 0 ? 0 : 1;
}
