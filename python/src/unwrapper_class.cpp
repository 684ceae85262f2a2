// kqphasefix2.Unwrapper: the running kernels, with the block's state ("Prev", "Cumsum",
// "FirstStep", "Cutoff") kept in the object from one chunk to the next.
#include "unwrapper_class.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "array_arguments.h"
#include "kernels/floating_point_mode.h"
#include "runtime/kq_wrap_step.h"
#include "unwrap_channels.h"

namespace kq::python {

namespace {

constexpr const char* kUnwrapperDoc = R"(Unwrapper(channels, cutoff=math.pi, dtype=numpy.float64)

Unwrap a signal that arrives in chunks, carrying on from one chunk to the next: the kqphasefix2
block in running operation, one output call per chunk.

Each call of process() is exactly one output call of the running block with the chunk as its
frame: the first call after construction or reset() seeds the state from its own first samples,
so its first sample of every channel comes out unchanged, and later calls unwrap their first
samples against the last samples of the previous call.

In float64 any split of a signal into chunks gives the same bits as one call. In float32 it does
not: like the block, the object stores the accumulated correction in float32 at the end of every
call, so the bits depend on where the chunks end. Widen to float64 for results that do not
depend on the split.

Parameters
----------
channels : int
    Number of channels, at least 1.
cutoff : float
    Its magnitude is used, rounded to float32 for float32 data; settable between chunks.
dtype : float64 or float32
    The precision of the chunks and of the stored state.
)";

constexpr const char* kProcessDoc = R"(process(chunk, out=None)

Unwrap the next chunk of the signal and return it.

chunk is a (samples, channels) array, or a 1-D array of samples when channels is 1, of the
object's dtype (integers and booleans are converted to it; the other float dtype is refused).
out, when given, receives the result: an array of the chunk's dtype and shape; out=chunk
unwraps in place. A chunk without samples changes nothing.
)";

constexpr const char* kResetDoc = R"(reset()

Start over, as the block's initial conditions do: the next chunk seeds the state from its own
first samples and the accumulated corrections are forgotten. The cutoff stays.
)";

template <typename T>
struct RunningState {
    explicit RunningState(size_t channels) : prev(channels, T{0}), cumsum(channels, T{0}) {}
    std::vector<T> prev;
    std::vector<T> cumsum;
    StagingBuffer<T> staging;
};

class Unwrapper {
  public:
    Unwrapper(int64_t channels, double tolerance, const py::object& dtype) {
        const py::dtype requested = py::dtype::from_args(dtype);
        if (requested.equal(dtypeOf(Precision::Double))) {
            precision_ = Precision::Double;
            state_.emplace<RunningState<double>>(checkedChannels(channels));
        } else if (requested.equal(dtypeOf(Precision::Single))) {
            precision_ = Precision::Single;
            state_.emplace<RunningState<float>>(checkedChannels(channels));
        } else {
            throw py::type_error("Unwrapper computes in float64 or float32, not in " +
                                 dtypeName(requested));
        }
        channels_ = channels;
        setCutoff(tolerance);
    }

    int64_t channels() const { return channels_; }
    py::dtype dtype() const { return dtypeOf(precision_); }
    double cutoff() const { return cutoff_; }

    void setCutoff(double tolerance) {
        const kq::DefaultFloatingPointMode
            defaultMode;  // the bits need it, whatever the caller left
        const double magnitude = kq_cutoff_of_tolerance(tolerance);
        const double stored = precision_ == Precision::Single
                                  ? static_cast<double>(static_cast<float>(magnitude))
                                  : magnitude;
        withState([&] { cutoff_ = stored; });
    }

    void reset() {
        withState([&] {
            firstStep_ = 1;
            std::visit([](auto& s) { std::fill(s.cumsum.begin(), s.cumsum.end(), 0); }, state_);
        });
    }

    py::array process(py::handle chunk, const py::object& out) {
        const kq::DefaultFloatingPointMode
            defaultMode;  // the bits need it, whatever the caller left
        py::array in = realInput(chunk, precision_, "Unwrapper.process");
        if (precisionOf(in) != precision_) {
            throw py::type_error("this Unwrapper takes " + dtypeName(dtype()) + " chunks, not " +
                                 dtypeName(in.dtype()) +
                                 ": convert the chunk with .astype() or make an Unwrapper of "
                                 "that dtype");
        }
        checkShape(in);
        checkChannelLength(in.shape(0));
        py::array result = outputFor(in, out);
        // Samples along axis 0; the channels are the channels, in order.
        const ChannelCursor channels(viewOf(in), viewOf(result), 0);
        withState([&] {
            std::visit(
                [&](auto& s) {
                    using T = typename decltype(s.prev)::value_type;
                    unwrapChannelsRunning<T>(channels, s.prev.data(), s.cumsum.data(),
                                             static_cast<T>(cutoff_), &firstStep_, s.staging);
                },
                state_);
        });
        return result;
    }

    std::string repr() const {
        return "Unwrapper(channels=" + std::to_string(channels_) +
               ", cutoff=" + py::repr(py::float_(cutoff_)).cast<std::string>() +
               ", dtype=" + dtypeName(dtype()) + ")";
    }

  private:
    static size_t checkedChannels(int64_t channels) {
        if (channels < 1) {
            throw py::value_error("an Unwrapper needs at least one channel, not " +
                                  std::to_string(channels));
        }
        return static_cast<size_t>(channels);
    }

    void checkShape(const py::array& in) const {
        const bool fits =
            (in.ndim() == 2 && in.shape(1) == channels_) || (in.ndim() == 1 && channels_ == 1);
        if (!fits) {
            throw py::value_error(
                "a chunk is a (samples, " + std::to_string(channels_) + ") array" +
                (channels_ == 1 ? std::string(" or a 1-D array of samples") : std::string()) +
                ", not one of shape " + py::str(in.attr("shape")).cast<std::string>());
        }
    }

    // Changes the state without the interpreter lock, one thread at a time: the lock is let go
    // before the object's own is taken, so a thread waiting here never blocks one that runs.
    template <typename Change>
    void withState(Change change) {
        py::gil_scoped_release released;
        const std::lock_guard<std::mutex> guard(mutex_);
        change();
    }

    Precision precision_ = Precision::Double;
    int64_t channels_ = 0;
    double cutoff_ = 0.0;  // the stored cutoff, exactly (a float32 value when single)
    uint8_t firstStep_ = 1;
    std::variant<RunningState<double>, RunningState<float>> state_{std::in_place_index<0>, 0};
    std::mutex mutex_;
};

}  // namespace

void defineUnwrapper(py::module_& module) {
    py::class_<Unwrapper>(module, "Unwrapper", kUnwrapperDoc)
        .def(py::init<int64_t, double, const py::object&>(), py::arg("channels"),
             py::arg("cutoff") = 3.141592653589793,
             py::arg("dtype") = py::module_::import("numpy").attr("float64"))
        .def("process", &Unwrapper::process, py::arg("chunk"), py::arg("out") = py::none(),
             kProcessDoc)
        .def("reset", &Unwrapper::reset, kResetDoc)
        .def_property("cutoff", &Unwrapper::cutoff, &Unwrapper::setCutoff,
                      "The cutoff: the magnitude of the value set, rounded to float32 for "
                      "float32 data. A new value applies from the next chunk on, to new "
                      "corrections only.")
        .def_property_readonly("channels", &Unwrapper::channels)
        .def_property_readonly("dtype", &Unwrapper::dtype)
        .def("__repr__", &Unwrapper::repr);
}

}  // namespace kq::python
