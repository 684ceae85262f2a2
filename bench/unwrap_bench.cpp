// The unwrap kernels measured against the scalar reference, memcpy of the same bytes, the chain
// of additions no kernel can avoid, and numpy's unwrap; and one output step through kvxFunction
// against a direct call of the chosen table entry. Google Benchmark takes the measurements; the
// program prints one summary table at the end, every figure beside its limits.
//
// The chain bound of a row: the corrections S = S + c of a channel are dependent binary64
// additions in a fixed order, so a channel takes at least (corrections per sample) x (latency of
// one addition), measured here as a chain of additions; channels run side by side divide it by
// their number, and the per-element calls have no chain.
//
//   unwrap_bench [--reps N] [--min-time S] [--no-numpy] [--python PATH] [--block PATH]
//                [--filter SUBSTRING] [--cpu-time] [benchmark flags]
//
// Data: wrapped phase, atan2(sin, cos) of a ramp of 0.3 rad per sample plus Gaussian noise of
// standard deviation 0.05 rad (typical), 0.05 rad per sample (rare wraps) or 2.5 rad per sample
// (dense wraps), from a fixed seed. Each figure is the median over the repetitions of the wall
// time per sample (with --cpu-time, of the thread's processor time: steadier on a busy machine,
// but blind to time spent waiting). A second table divides, level by level, the time on dense
// wraps by the time on typical data of the same shape (one channel of 2^20, 8 channels of 1024),
// each from its fastest repetition.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "block/unwrap_args.h"
#include "entry/block_identity.h"
#include "host/data_types.h"
#include "host/kvx_function.h"
#include "kernels/floating_point_mode.h"
#include "kernels/kernel_call.h"
#include "kernels/vector_level.h"
#include "kernels/wrap_correction.h"
#include "sim/engine/block_library.h"
#include "sim/engine/host_caller.h"
#include "sim/engine/simulation.h"
#include "sim/libvz/vz_host.h"

using namespace kq;

namespace {

constexpr uint64_t kSeed = 0x0b5e'55ed'2024ull;
constexpr int32_t kLong = 1 << 20;   // samples of the long stateless signals
constexpr int32_t kFrameLen = 1024;  // samples per channel of a running frame
constexpr int32_t kFrameChans = 8;
constexpr int32_t kElems = 1024;  // elements of a running per-element call
constexpr double kTypicalStep = 0.3;
constexpr double kRareStep = 0.05;
constexpr double kDenseStep = 2.5;
constexpr double kNoise = 0.05;

// ---------------------------------------------------------------------------------------------
// Buffers and data

// 64-byte aligned storage, as a host's allocator of large arrays gives.
template <typename T>
class AlignedBuffer {
  public:
    explicit AlignedBuffer(size_t count)
        : data_(static_cast<T*>(std::aligned_alloc(64, roundUp(count * sizeof(T))))),
          count_(count) {
        if (data_ == nullptr) {
            std::fprintf(stderr, "unwrap_bench: out of memory\n");
            std::exit(1);
        }
        std::memset(static_cast<void*>(data_), 0, count * sizeof(T));
    }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    AlignedBuffer(AlignedBuffer&& other) noexcept : data_(other.data_), count_(other.count_) {
        other.data_ = nullptr;
    }
    ~AlignedBuffer() { std::free(data_); }

    T* data() { return data_; }
    const T* data() const { return data_; }
    size_t size() const { return count_; }

  private:
    static size_t roundUp(size_t bytes) { return (bytes + 63) / 64 * 64 + 64; }
    T* data_;
    size_t count_;
};

// Wrapped phase of `tracks` independent ramps of `length` samples each, track after track.
std::vector<double> wrappedPhase(size_t tracks, size_t length, double step, uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> noise(0.0, kNoise);
    std::uniform_real_distribution<double> start(-3.0, 3.0);
    std::vector<double> out(tracks * length);
    for (size_t t = 0; t < tracks; ++t) {
        double phase = start(rng);
        for (size_t n = 0; n < length; ++n) {
            phase += step + noise(rng);
            out[t * length + n] = std::atan2(std::sin(phase), std::cos(phase));
        }
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Workloads

using Shape = KernelShape;

struct Workload {
    std::string label;
    Shape shape;
    bool single;
    bool inPlace;
    double step;
    int32_t ring;  // calls per pass, each on its own buffer
    // Which targets the row is held to: the full set (speed-up, memcpy, numpy) or, for rare and
    // dense wraps, the speed-up floor only.
    bool fullTargets;

    int32_t numChans() const {
        return shape == Shape::Stateless ? 1 : shape == Shape::RunningFrame ? kFrameChans : 1;
    }
    int32_t frameLen() const {
        return shape == Shape::Stateless ? kLong : shape == Shape::RunningFrame ? kFrameLen : 1;
    }
    size_t samplesPerCall() const {
        return shape == Shape::RunningSample ? kElems
                                             : static_cast<size_t>(numChans()) * frameLen();
    }
    size_t stateLen() const {
        return shape == Shape::RunningSample ? kElems : static_cast<size_t>(numChans());
    }
};

// The ring of one workload: every call's raw input, and where its output goes.
template <typename T>
struct Ring {
    std::vector<AlignedBuffer<T>> raw;   // never written after set-up
    std::vector<AlignedBuffer<T>> work;  // the output of a copy call, the buffer of an in-place one
    AlignedBuffer<T> prev;
    AlignedBuffer<T> cumsum;
    uint8_t firstStep = 1;

    // Corrections taken per sample over the ring, counted with the step itself.
    double takesPerSample(const Workload& w) const {
        const double cut = static_cast<T>(3.141592653589793);
        size_t takes = 0;
        size_t samples = 0;
        const size_t perCall = w.samplesPerCall();
        const size_t tracks = w.shape == Shape::RunningSample ? perCall : w.numChans();
        const size_t perTrack = perCall / tracks;
        const size_t stride = w.shape == Shape::RunningSample ? 1 : perTrack;
        for (size_t track = 0; track < tracks; ++track) {
            double S = 0.0;
            double v = raw[0].data()[track * stride];
            for (const AlignedBuffer<T>& call : raw) {
                for (size_t n = 0; n < (w.shape == Shape::RunningSample ? 1 : perTrack); ++n) {
                    const double x = call.data()[track * stride + n];
                    const double before = S;
                    wrapCorrection<T>(v, x, S, cut);
                    takes += S != before ? 1 : 0;
                    ++samples;
                    v = x;
                }
            }
        }
        return static_cast<double>(takes) / static_cast<double>(samples);
    }

    Ring(const Workload& w, uint64_t seed) : prev(w.stateLen()), cumsum(w.stateLen()) {
        const size_t perCall = w.samplesPerCall();
        // Stateless: one long channel. Per channel: every channel a ramp, split into consecutive
        // frames. Per element: every element a ramp, one sample per call.
        const size_t tracks = w.shape == Shape::Stateless      ? 1
                              : w.shape == Shape::RunningFrame ? kFrameChans
                                                               : kElems;
        const size_t length = perCall * w.ring / tracks;
        const std::vector<double> phase = wrappedPhase(tracks, length, w.step, seed);
        for (int32_t k = 0; k < w.ring; ++k) {
            AlignedBuffer<T> buffer(perCall);
            for (size_t i = 0; i < perCall; ++i) {
                size_t track = 0;
                size_t n = 0;
                if (w.shape == Shape::RunningFrame) {
                    track = i / kFrameLen;
                    n = static_cast<size_t>(k) * kFrameLen + i % kFrameLen;
                } else if (w.shape == Shape::RunningSample) {
                    track = i;
                    n = static_cast<size_t>(k);
                } else {
                    n = i;
                }
                buffer.data()[i] = static_cast<T>(phase[track * length + n]);
            }
            raw.push_back(std::move(buffer));
            work.emplace_back(perCall);
            std::memcpy(work.back().data(), raw.back().data(), perCall * sizeof(T));
        }
    }

    void restore() {
        for (size_t k = 0; k < raw.size(); ++k) {
            std::memcpy(work[k].data(), raw[k].data(), raw[k].size() * sizeof(T));
        }
    }
};

// One call of the workload's kernel from `set` on ring buffer k.
template <typename T>
void callKernelOf(const KernelSet& set, const Workload& w, Ring<T>& r, size_t k) {
    constexpr T cut = static_cast<T>(3.141592653589793);
    T* out = r.work[k].data();
    runKernel<T>(set, formOf(w.shape, w.inPlace),
                 {.in = w.inPlace ? out : r.raw[k].data(),
                  .out = out,
                  .prev = r.prev.data(),
                  .cumsum = r.cumsum.data(),
                  .cutoff = cut,
                  .numChans = w.numChans(),
                  .frameLen = w.frameLen(),
                  .numElems = kElems,
                  .firstStep = &r.firstStep});
}

// A column of the table: a vector level's kernels, or memcpy of the same buffers.
struct Column {
    std::string name;
    bool isMemcpy;
    VectorLevel level;
};

// One pass over the ring per iteration. In-place buffers are restored to their raw input after
// every pass with the timer stopped, so every pass unwraps wrapped data.
template <typename T>
void runPasses(benchmark::State& state, const Workload& w, const Column& column) {
    Ring<T> ring(w, kSeed);
    const KernelSet& set = kernelsFor(column.level);
    for (auto _ : state) {
        for (size_t k = 0; k < ring.raw.size(); ++k) {
            if (column.isMemcpy) {
                std::memcpy(ring.work[k].data(), ring.raw[k].data(),
                            ring.raw[k].size() * sizeof(T));
            } else {
                callKernelOf<T>(set, w, ring, k);
            }
        }
        benchmark::ClobberMemory();
        if (w.inPlace && !column.isMemcpy) {
            state.PauseTiming();
            ring.restore();
            state.ResumeTiming();
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The latency of one binary64 addition

// One pass adds 4096 values to one sum, each addition waiting for the one before.
void dependentAdditions(benchmark::State& state) {
    std::vector<double> values(4096);
    std::mt19937_64 rng(kSeed);
    std::uniform_real_distribution<double> turn(-6.3, 6.3);
    for (double& v : values) {
        v = turn(rng);
    }
    double sum = 0.0;
    for (auto _ : state) {
        for (double v : values) {
            sum = sum + v;
        }
        benchmark::DoNotOptimize(sum);
    }
}

constexpr const char* kAdditionName = "dependent binary64 additions";
constexpr double kAdditionsPerPass = 4096.0;

// ---------------------------------------------------------------------------------------------
// One output step through kvxFunction

// A started block instance with a one-element, sample-based, running double input (frameLen 0),
// or a frame of frameLen samples of one channel, as a host runs it.
class OneElementBlock {
  public:
    explicit OneElementBlock(const std::string& blockPath, size_t frameLen = 0)
        : library_(blockPath),
          caller_(library_.kvxFunction()),
          simulation_(caller_, setup(frameLen), {.blockName = kBlockName}) {
        simulation_.initialize();
        block_ = simulation_.host().block();
        flag_ = vzCreateDoubleScalar(kFlagOutputs);
        leftArgs_[1] = reinterpret_cast<vzArray*>(block_);
        rightArgs_[3] = flag_;
        // Wrapped phase of a ramp of 0.9 rad per sample.
        auto* in = static_cast<double*>(block_->inputPorts[0].data);
        for (size_t i = 0; i < std::max<size_t>(frameLen, 1); ++i) {
            in[i] = std::remainder(0.5 + 0.9 * static_cast<double>(i), 6.283185307179586);
        }
    }
    OneElementBlock(const OneElementBlock&) = delete;
    OneElementBlock& operator=(const OneElementBlock&) = delete;
    ~OneElementBlock() { vzDestroyArray(flag_); }

    // The host's call of an output step.
    void hostOutputStep() { library_.kvxFunction()(-1, leftArgs_, 4, rightArgs_); }
    // The table entry the block chose, called directly on its record.
    void directEntry() {
        const auto* args = static_cast<const UnwrapArgs*>(block_->userData);
        args->kernel(args);
    }

  private:
    static kq::sim::SimulationSetup setup(size_t frameLen) {
        kq::sim::SimulationSetup s;
        s.channels = 1;
        s.frameLen = frameLen;
        s.tolerance = kDefaultTolerance;
        return s;
    }

    kq::sim::BlockLibrary library_;
    kq::sim::HostCaller caller_;
    kq::sim::Simulation simulation_;
    BlockInstance* block_ = nullptr;
    vzArray* flag_ = nullptr;
    vzArray* leftArgs_[2] = {nullptr, nullptr};
    const vzArray* rightArgs_[4] = {nullptr, nullptr, nullptr, nullptr};
};

// The output steps of the mode guard's cost: the block in the default mode, the block built
// without the guard (the cost before it), and the block with the caller in another mode.
struct ModeBench {
    const char* name;
    bool unguarded;
    FloatingPointControl callerMode;
};
#if defined(__x86_64__) || defined(_M_X64)
constexpr FloatingPointControl kFlushRoundUp = 0x8040 | 0x4000;  // FTZ, DAZ, round up
#else
constexpr FloatingPointControl kFlushRoundUp = (1u << 24) | (1u << 22);  // FZ, round up
#endif
constexpr ModeBench kModeBenches[] = {
    {"default mode", false, 0},
    {"block without the guard", true, 0},
    {"caller in FTZ (+DAZ) and round up", false, kFlushRoundUp},
};
constexpr size_t kModeBenchFrame = 4096;

std::string modeBenchName(const ModeBench& m, size_t frameLen) {
    return std::string("kvxFunction mode guard | ") + m.name +
           (frameLen == 0 ? " | one element" : " | 4096-sample frame");
}

// ---------------------------------------------------------------------------------------------
// Collecting the figures

// Median wall time per item (ns) of every benchmark, over its repetitions.
class SummaryReporter : public benchmark::BenchmarkReporter {
  public:
    explicit SummaryReporter(bool cpuTime) : cpuTime_(cpuTime) {}

    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) {
                continue;
            }
            const std::string& name = run.run_name.function_name;
            const auto items = itemsPerIteration_.find(name);
            const double seconds = cpuTime_ ? run.cpu_accumulated_time : run.real_accumulated_time;
            samples_[name].push_back(1e9 * seconds / static_cast<double>(run.iterations) /
                                     (items == itemsPerIteration_.end() ? 1.0 : items->second));
            std::fputc('.', stderr);
        }
    }

    // Samples (or calls) that one iteration of benchmark `name` handles.
    void setItemsPerIteration(const std::string& name, double items) {
        itemsPerIteration_[name] = items;
    }

    // NaN when the benchmark did not run.
    double median(const std::string& name) const {
        const auto it = samples_.find(name);
        if (it == samples_.end() || it->second.empty()) {
            return std::nan("");
        }
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
    }

    // The fastest repetition: NaN when the benchmark did not run.
    double best(const std::string& name) const {
        const auto it = samples_.find(name);
        if (it == samples_.end() || it->second.empty()) {
            return std::nan("");
        }
        return *std::min_element(it->second.begin(), it->second.end());
    }

  private:
    bool cpuTime_;
    std::map<std::string, double> itemsPerIteration_;
    std::map<std::string, std::vector<double>> samples_;
};

// ---------------------------------------------------------------------------------------------
// numpy

struct NumpyFigures {
    double dbl = std::nan("");
    double sgl = std::nan("");
    std::string note;
};

// Writes the typical long signal in both precisions and times numpy.unwrap on them with
// numpy_unwrap.py, in a child process without the OpenBLAS tuning variables (they slow numpy).
NumpyFigures timeNumpy(const std::string& python) {
    NumpyFigures figures;
    const std::vector<double> phase = wrappedPhase(1, kLong, kTypicalStep, kSeed);
    char dir[] = "/tmp/unwrap_bench_XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        figures.note = "no temporary folder";
        return figures;
    }
    const std::string f64 = std::string(dir) + "/typical.f64";
    const std::string f32 = std::string(dir) + "/typical.f32";
    std::vector<float> singles(phase.begin(), phase.end());
    FILE* a = std::fopen(f64.c_str(), "wb");
    FILE* b = std::fopen(f32.c_str(), "wb");
    const bool written =
        a != nullptr && b != nullptr &&
        std::fwrite(phase.data(), sizeof(double), phase.size(), a) == phase.size() &&
        std::fwrite(singles.data(), sizeof(float), singles.size(), b) == singles.size();
    if (a != nullptr)
        std::fclose(a);
    if (b != nullptr)
        std::fclose(b);
    if (written) {
        const std::string command = "env -u OPENBLAS_CORETYPE -u OPENBLAS_L2_SIZE '" + python +
                                    "' '" KQ_NUMPY_SCRIPT "' --machine '" + f64 + "' '" + f32 +
                                    "' 2>&1";
        FILE* child = popen(command.c_str(), "r");
        if (child != nullptr) {
            char line[512];
            while (std::fgets(line, sizeof line, child) != nullptr) {
                double value = 0.0;
                if (std::sscanf(line, "double %lf", &value) == 1) {
                    figures.dbl = value;
                } else if (std::sscanf(line, "single %lf", &value) == 1) {
                    figures.sgl = value;
                } else if (figures.note.empty()) {
                    figures.note = line;
                    while (!figures.note.empty() && figures.note.back() == '\n') {
                        figures.note.pop_back();
                    }
                }
            }
            pclose(child);
        }
    } else {
        figures.note = "could not write the data files";
    }
    std::remove(f64.c_str());
    std::remove(f32.c_str());
    rmdir(dir);
    return figures;
}

// ---------------------------------------------------------------------------------------------
// Table

std::string figure(double value, int precision = 3) {
    if (std::isnan(value)) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", precision, value);
    return text;
}

std::string ratio(double value) {
    if (std::isnan(value)) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, value >= 100 ? "%.0fx" : "%.1fx", value);
    return text;
}

struct Options {
    int reps = 5;
    double minTime = 0.2;
    bool numpy = true;
    bool cpuTime = false;
    std::string python = "/usr/bin/python3";
    std::string blockPath = KQ_BLOCK_MODULE_PATH;
    std::string unguardedBlockPath = KQ_UNGUARDED_BLOCK_MODULE_PATH;
    std::string filter;
};

bool takeValue(int& i, int argc, char** argv, const char* name, std::string& value) {
    const std::string arg = argv[i];
    const std::string prefix = std::string(name) + "=";
    if (arg == name && i + 1 < argc) {
        value = argv[++i];
        return true;
    }
    if (arg.rfind(prefix, 0) == 0) {
        value = arg.substr(prefix.size());
        return true;
    }
    return false;
}

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string value;
        if (std::strcmp(argv[i], "--no-numpy") == 0) {
            o.numpy = false;
        } else if (std::strcmp(argv[i], "--cpu-time") == 0) {
            o.cpuTime = true;
        } else if (takeValue(i, argc, argv, "--reps", value)) {
            o.reps = std::max(1, std::atoi(value.c_str()));
        } else if (takeValue(i, argc, argv, "--min-time", value)) {
            o.minTime = std::atof(value.c_str());
        } else if (takeValue(i, argc, argv, "--python", value)) {
            o.python = value;
        } else if (takeValue(i, argc, argv, "--block", value)) {
            o.blockPath = value;
        } else if (takeValue(i, argc, argv, "--filter", value)) {
            o.filter = value;
        } else {
            std::fprintf(stderr,
                         "usage: unwrap_bench [--reps N] [--min-time S] [--no-numpy] "
                         "[--python PATH] [--block PATH] [--filter SUBSTRING] [--cpu-time]\n");
            std::exit(2);
        }
    }
    return o;
}

}  // namespace

int main(int argc, char** argv) {
    // Google Benchmark's own flags first; what it leaves is ours.
    benchmark::Initialize(&argc, argv);
    const Options options = parseOptions(argc, argv);

    const std::vector<Workload> workloads = {
        {"stateless copy, double, 2^20", Shape::Stateless, false, false, kTypicalStep, 1, true},
        {"stateless copy, single, 2^20", Shape::Stateless, true, false, kTypicalStep, 1, true},
        {"stateless in place, double, 2^20", Shape::Stateless, false, true, kTypicalStep, 1, true},
        {"stateless in place, single, 2^20", Shape::Stateless, true, true, kTypicalStep, 1, true},
        {"per channel copy, double, 8x1024", Shape::RunningFrame, false, false, kTypicalStep, 2,
         true},
        {"per channel copy, single, 8x1024", Shape::RunningFrame, true, false, kTypicalStep, 2,
         true},
        {"per channel in place, double, 8x1024", Shape::RunningFrame, false, true, kTypicalStep, 2,
         true},
        {"per channel in place, single, 8x1024", Shape::RunningFrame, true, true, kTypicalStep, 2,
         true},
        {"per element copy, double, 1024", Shape::RunningSample, false, false, kTypicalStep, 16,
         true},
        {"per element copy, single, 1024", Shape::RunningSample, true, false, kTypicalStep, 16,
         true},
        {"per element in place, double, 1024", Shape::RunningSample, false, true, kTypicalStep, 16,
         true},
        {"per element in place, single, 1024", Shape::RunningSample, true, true, kTypicalStep, 16,
         true},
        {"rare wraps: stateless copy, double", Shape::Stateless, false, false, kRareStep, 1, false},
        {"rare wraps: per channel copy, double", Shape::RunningFrame, false, false, kRareStep, 2,
         false},
        {"dense wraps: stateless copy, double", Shape::Stateless, false, false, kDenseStep, 1,
         false},
        {"dense wraps: stateless copy, single", Shape::Stateless, true, false, kDenseStep, 1,
         false},
        {"dense wraps: per channel copy, double", Shape::RunningFrame, false, false, kDenseStep, 2,
         false},
        {"dense wraps: per channel copy, single", Shape::RunningFrame, true, false, kDenseStep, 2,
         false},
        {"dense wraps: per element copy, double", Shape::RunningSample, false, false, kDenseStep,
         16, false},
    };
    std::vector<Column> columns = {{"scalar", false, VectorLevel::Scalar}};
    for (VectorLevel level : kAllVectorLevels) {
        if (level != VectorLevel::Scalar && vectorLevelAvailable(level)) {
            columns.push_back({vectorLevelName(level), false, level});
        }
    }
    columns.push_back({"memcpy", true, VectorLevel::Scalar});
    const VectorLevel best = bestVectorLevel();

    SummaryReporter reporter(options.cpuTime);
    const auto keep = [&](const std::string& label) {
        return options.filter.empty() || label.find(options.filter) != std::string::npos;
    };
    for (const Workload& w : workloads) {
        if (!keep(w.label)) {
            continue;
        }
        for (const Column& column : columns) {
            const std::string name = w.label + " | " + column.name;
            reporter.setItemsPerIteration(
                name, static_cast<double>(w.ring) * static_cast<double>(w.samplesPerCall()));
            benchmark::RegisterBenchmark(name.c_str(),
                                         [w, column](benchmark::State& state) {
                                             if (w.single) {
                                                 runPasses<float>(state, w, column);
                                             } else {
                                                 runPasses<double>(state, w, column);
                                             }
                                         })
                ->UseRealTime()
                ->Repetitions(options.reps)
                ->MinTime(options.minTime);
        }
    }

    reporter.setItemsPerIteration(kAdditionName, kAdditionsPerPass);
    benchmark::RegisterBenchmark(kAdditionName, dependentAdditions)
        ->UseRealTime()
        ->Repetitions(options.reps)
        ->MinTime(options.minTime);

    std::unique_ptr<OneElementBlock> block;
    std::vector<std::unique_ptr<OneElementBlock>> modeBlocks;
    if (keep("kvxFunction")) {
        block = std::make_unique<OneElementBlock>(options.blockPath);
        OneElementBlock* b = block.get();
        benchmark::RegisterBenchmark("kvxFunction output step",
                                     [b](benchmark::State& state) {
                                         for (auto _ : state) {
                                             b->hostOutputStep();
                                         }
                                     })
            ->UseRealTime()
            ->Repetitions(options.reps)
            ->MinTime(options.minTime);
        // The floating-point mode guard: the same steps through the block built without it, and
        // through the block with the caller in another mode, which the guard switches twice per
        // call. Frames of 4096 samples too, per sample.
        for (const ModeBench& m : kModeBenches) {
            for (size_t frameLen : {size_t{0}, kModeBenchFrame}) {
                modeBlocks.push_back(std::make_unique<OneElementBlock>(
                    m.unguarded ? options.unguardedBlockPath : options.blockPath, frameLen));
                OneElementBlock* mb = modeBlocks.back().get();
                const std::string name = modeBenchName(m, frameLen);
                reporter.setItemsPerIteration(name,
                                              static_cast<double>(std::max<size_t>(frameLen, 1)));
                const FloatingPointControl callerMode = m.callerMode;
                benchmark::RegisterBenchmark(name.c_str(),
                                             [mb, callerMode](benchmark::State& state) {
                                                 const FloatingPointControl before =
                                                     readFloatingPointControl();
                                                 writeFloatingPointControl(before | callerMode);
                                                 for (auto _ : state) {
                                                     mb->hostOutputStep();
                                                 }
                                                 writeFloatingPointControl(before);
                                             })
                    ->UseRealTime()
                    ->Repetitions(options.reps)
                    ->MinTime(options.minTime);
            }
        }
        benchmark::RegisterBenchmark("kvxFunction direct entry",
                                     [b](benchmark::State& state) {
                                         for (auto _ : state) {
                                             b->directEntry();
                                         }
                                     })
            ->UseRealTime()
            ->Repetitions(options.reps)
            ->MinTime(options.minTime);
    }

    NumpyFigures numpy;
    if (options.numpy) {
        numpy = timeNumpy(options.python);
    } else {
        numpy.note = "not measured (--no-numpy)";
    }

    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::fputc('\n', stderr);
    benchmark::Shutdown();

    // The table.
    std::printf(
        "unwrap_bench: ns per sample (%s), median of %d repetitions; fast = %s, the level "
        "the block chooses on this processor\n",
        options.cpuTime ? "processor time" : "wall time", options.reps, vectorLevelName(best));
    std::printf("numpy.unwrap on the typical 2^20 signal: double %s ns, single %s ns%s%s\n\n",
                figure(numpy.dbl, 2).c_str(), figure(numpy.sgl, 2).c_str(),
                numpy.note.empty() ? "" : "; ", numpy.note.c_str());
    const double addition = reporter.median(kAdditionName);
    std::printf("one dependent binary64 addition: %s ns\n\n", figure(addition, 3).c_str());
    std::printf("| workload | scalar |");
    for (size_t c = 1; c + 1 < columns.size(); ++c) {
        std::printf(" %s |", columns[c].name.c_str());
    }
    std::printf(
        " memcpy | chain bound | fast vs scalar | fast / memcpy | fast / bound | single / double "
        "| numpy / fast |\n|---|---:|");
    for (size_t c = 1; c + 1 < columns.size(); ++c) {
        std::printf("---:|");
    }
    std::printf("---:|---:|---:|---:|---:|---:|---:|\n");

    std::vector<std::string> misses;
    std::map<std::string, double> fastOf;  // by label, for the single rows' double twins
    for (const Workload& w : workloads) {
        if (keep(w.label)) {
            fastOf[w.label] = reporter.median(w.label + " | " + vectorLevelName(best));
        }
    }
    for (const Workload& w : workloads) {
        if (!keep(w.label)) {
            continue;
        }
        std::map<std::string, double> ns;
        for (const Column& column : columns) {
            ns[column.name] = reporter.median(w.label + " | " + column.name);
        }
        const double scalar = ns["scalar"];
        const double fast = ns[vectorLevelName(best)];
        const double copy = ns["memcpy"];
        const double np = w.fullTargets ? (w.single ? numpy.sgl : numpy.dbl) : std::nan("");
        // Channels side by side share the bound; per-element calls have no chain.
        const double bound = w.shape == Shape::RunningSample
                                 ? std::nan("")
                                 : (w.single ? Ring<float>(w, kSeed).takesPerSample(w)
                                             : Ring<double>(w, kSeed).takesPerSample(w)) *
                                       addition / w.numChans();
        std::string twin = w.label;
        const size_t at = twin.find("single");
        double twinFast = std::nan("");
        if (at != std::string::npos) {
            twin.replace(at, 6, "double");
            const auto found = fastOf.find(twin);
            twinFast = found == fastOf.end() ? std::nan("") : found->second;
        }
        std::printf("| %s | %s |", w.label.c_str(), figure(scalar).c_str());
        for (size_t c = 1; c + 1 < columns.size(); ++c) {
            std::printf(" %s |", figure(ns[columns[c].name]).c_str());
        }
        std::printf(" %s | %s | %s | %s | %s | %s | %s |\n", figure(copy).c_str(),
                    figure(bound).c_str(), ratio(scalar / fast).c_str(), ratio(fast / copy).c_str(),
                    ratio(fast / bound).c_str(), ratio(fast / twinFast).c_str(),
                    ratio(np / fast).c_str());

        const bool dense = w.step == kDenseStep;
        if (dense && w.shape == Shape::Stateless && !(scalar / fast >= 5.0)) {
            misses.push_back(w.label + ": fast vs scalar " + ratio(scalar / fast) +
                             " (target at least 5.0x on one channel)");
        }
        if (dense && w.shape == Shape::RunningFrame && !(fast / copy <= 2.5)) {
            misses.push_back(w.label + ": fast / memcpy " + ratio(fast / copy) +
                             " (target at most 2.5x for channels side by side)");
        }
        if (!std::isnan(twinFast) && !(fast / twinFast <= 1.2)) {
            misses.push_back(w.label + ": single / double " + ratio(fast / twinFast) +
                             " (target at most 1.2x)");
        }

        const double floor = w.fullTargets ? 6.0 : 2.5;
        if (!(scalar / fast >= floor)) {
            misses.push_back(w.label + ": fast vs scalar " + ratio(scalar / fast) + " (target " +
                             ratio(floor) + ")");
        }
        if (w.fullTargets && !(fast / copy <= 2.0)) {
            misses.push_back(w.label + ": fast / memcpy " + ratio(fast / copy) +
                             " (target at most 2.0x)");
        }
        if (w.fullTargets && !std::isnan(np) && !(np / fast >= 40.0)) {
            misses.push_back(w.label + ": numpy / fast " + ratio(np / fast) +
                             " (target at least 40x)");
        }
    }

    // Dense wraps against typical data of the same shape, level by level, each from its fastest
    // repetition (the one a busy machine disturbed least).
    struct DensePair {
        const char* name;
        const char* dense;
        const char* typical;
        double target;
    };
    const DensePair pairs[] = {
        {"one channel, double", "dense wraps: stateless copy, double",
         "stateless copy, double, 2^20", 1.3},
        {"one channel, single", "dense wraps: stateless copy, single",
         "stateless copy, single, 2^20", 1.3},
        {"8 channels, double", "dense wraps: per channel copy, double",
         "per channel copy, double, 8x1024", 1.2},
        {"8 channels, single", "dense wraps: per channel copy, single",
         "per channel copy, single, 8x1024", 1.2},
    };
    std::printf("\n| dense / typical, fastest repetitions | scalar |");
    for (size_t c = 1; c + 1 < columns.size(); ++c) {
        std::printf(" %s |", columns[c].name.c_str());
    }
    std::printf(" target |\n|---|---:|");
    for (size_t c = 1; c + 1 < columns.size(); ++c) {
        std::printf("---:|");
    }
    std::printf("---:|\n");
    for (const DensePair& pair : pairs) {
        if (!keep(pair.dense) || !keep(pair.typical)) {
            continue;
        }
        std::printf("| %s |", pair.name);
        for (size_t c = 0; c + 1 < columns.size(); ++c) {
            const std::string& column = columns[c].name;
            const double r = reporter.best(std::string(pair.dense) + " | " + column) /
                             reporter.best(std::string(pair.typical) + " | " + column);
            std::printf(" %s |", figure(r, 2).c_str());
            if (c > 0 && !(r <= pair.target)) {
                misses.push_back(std::string("dense / typical, ") + pair.name + ", " + column +
                                 " " + figure(r, 2) + "x (target at most " +
                                 figure(pair.target, 1) + "x)");
            }
        }
        std::printf(" %sx |\n", figure(pair.target, 1).c_str());
    }

    if (block) {
        const double host = reporter.median("kvxFunction output step");
        const double direct = reporter.median("kvxFunction direct entry");
        std::printf(
            "\none output step of a one-element sample-based input: kvxFunction (flag 104) "
            "%s ns (target under 6 ns), direct call of the chosen entry %s ns, ratio %s (target at "
            "most 3.0x)\n",
            figure(host, 1).c_str(), figure(direct, 1).c_str(), ratio(host / direct).c_str());
        if (!(host / direct <= 3.0)) {
            misses.push_back("kvxFunction vs direct entry " + ratio(host / direct));
        }
        if (!(host < 6.0)) {
            misses.push_back("kvxFunction output step " + figure(host, 1) +
                             " ns (target under 6 ns)");
        }
    }
    if (block) {
        std::printf(
            "\nthe floating-point mode guard, per kvxFunction output step (one element) and "
            "per sample (4096-sample frames), ns, median and fastest repetition:\n\n| | one "
            "element | 4096-sample frame |\n|---|---:|---:|\n");
        // [bench][frame][median, fastest]
        double times[std::size(kModeBenches)][2][2] = {};
        for (size_t i = 0; i < std::size(kModeBenches); ++i) {
            for (size_t f = 0; f < 2; ++f) {
                const std::string name =
                    modeBenchName(kModeBenches[i], f == 0 ? 0 : kModeBenchFrame);
                times[i][f][0] = reporter.median(name);
                times[i][f][1] = reporter.best(name);
            }
            std::printf("| %s | %s, %s | %s, %s |\n", kModeBenches[i].name,
                        figure(times[i][0][0], 2).c_str(), figure(times[i][0][1], 2).c_str(),
                        figure(times[i][1][0], 4).c_str(), figure(times[i][1][1], 4).c_str());
        }
        // Rows: the default mode, the block without the guard, another mode. The targets are
        // judged on the fastest repetitions, the least disturbed by other work on the machine.
        const auto added = [&](size_t row, size_t which) {
            return times[row][0][which] - times[1][0][which];
        };
        const auto percent = [&](size_t row, size_t which) {
            return 100.0 * (times[row][1][which] / times[1][1][which] - 1.0);
        };
        std::printf(
            "\nthe guard in the default mode adds %s ns per one-element call (median %s; "
            "target at most 1 ns) and %s%% on 4096-sample frames (median %s%%; target at "
            "most 1%%); another mode adds %s ns per call and %s%% per frame\n",
            figure(added(0, 1), 2).c_str(), figure(added(0, 0), 2).c_str(),
            figure(percent(0, 1), 2).c_str(), figure(percent(0, 0), 2).c_str(),
            figure(added(2, 1), 2).c_str(), figure(percent(2, 1), 2).c_str());
        if (!(added(0, 1) <= 1.0)) {
            misses.push_back("mode guard " + figure(added(0, 1), 2) + " ns per call");
        }
        if (!(percent(0, 1) <= 1.0)) {
            misses.push_back("mode guard " + figure(percent(0, 1), 2) + "% on 4096-sample frames");
        }
    }
    std::printf("\ntargets: %s\n", misses.empty() ? "all met" : "missed:");
    for (const std::string& miss : misses) {
        std::printf("  %s\n", miss.c_str());
    }
    return 0;
}
