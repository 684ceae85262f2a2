// _taken_corrections, _add_taken and _unwrap_carried: a block of channels is a C-contiguous
// (channels, samples) array of float64 or float32; the caller (kqphasefix2.dask) moves the axis
// last. Per-channel state is a 1-D array of one value per channel: the raw sample before the block,
// in the block's dtype, and the carried correction sum, in float64 for both dtypes.
#include "chunk_functions.h"

#include <pybind11/numpy.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "array_arguments.h"
#include "kernel_calls.h"
#include "kernels/floating_point_mode.h"
#include "runtime/kq_wrap_step.h"

namespace kq::python {

namespace {

struct Channels {
    int64_t count;
    int64_t length;
};

Channels channelsOf(const py::array& block, const char* caller) {
    if (block.ndim() != 2 || !(block.flags() & py::array::c_style)) {
        throw py::value_error(std::string(caller) + ": the block must be a C-contiguous 2-D array");
    }
    return {block.shape(0), block.shape(1)};
}

template <typename T>
const T* channelValues(const py::object& values, int64_t channels, const char* what) {
    const auto array = py::reinterpret_borrow<py::array>(values);
    if (!py::isinstance<py::array_t<T>>(values) || array.ndim() != 1 ||
        array.shape(0) != channels || !(array.flags() & py::array::c_style)) {
        throw py::value_error(std::string(what) + " must be a contiguous 1-D array of " +
                              std::to_string(channels) + " values of the block's dtype");
    }
    return static_cast<const T*>(array.data());
}

template <typename T>
py::tuple takenOf(const py::array& block, const py::object& prev, double cutoff) {
    const Channels channels = channelsOf(block, "_taken_corrections");
    const T* previous = prev.is_none() ? nullptr : channelValues<T>(prev, channels.count, "prev");
    const T* in = static_cast<const T*>(block.data());
    const T cut = static_cast<T>(kq_cutoff_of_tolerance(cutoff));
    py::array_t<int64_t> counts(channels.count);
    int64_t* count = counts.mutable_data();
    std::vector<double> taken;
    {
        py::gil_scoped_release released;
        // A few pages of room at a time: room for a whole chunk would be written (and, fresh from
        // the system, faulted in) page by page for corrections that are mostly absent.
        constexpr int64_t kPiece = 4096;
        std::vector<double> piece(kPiece);
        for (int64_t j = 0; j < channels.count; ++j) {
            const T* x = in + j * channels.length;
            count[j] = 0;
            // Without a sample before the block, its channels start at their own sample 0.
            int64_t start = previous != nullptr ? 0 : std::min<int64_t>(1, channels.length);
            T before = previous != nullptr ? previous[j] : start > 0 ? x[0] : T{};
            while (start < channels.length) {
                const int64_t n = std::min(kPiece, channels.length - start);
                const int64_t found = takenCorrections<T>(x + start, n, before, cut, piece.data());
                taken.insert(taken.end(), piece.begin(), piece.begin() + found);
                count[j] += found;
                before = x[start + n - 1];
                start += n;
            }
        }
    }
    py::array_t<double> values(static_cast<py::ssize_t>(taken.size()));
    std::copy(taken.begin(), taken.end(), values.mutable_data());
    return py::make_tuple(counts, values);
}

py::tuple takenCorrectionsOf(const py::array& block, const py::object& prev, double cutoff) {
    const kq::DefaultFloatingPointMode defaultMode;  // the bits need it, whatever the caller left
    if (py::isinstance<py::array_t<double>>(block)) {
        return takenOf<double>(block, prev, cutoff);
    }
    if (py::isinstance<py::array_t<float>>(block)) {
        return takenOf<float>(block, prev, cutoff);
    }
    throw py::type_error("_taken_corrections: the block must be float64 or float32");
}

py::array_t<double> addTakenOf(const py::object& sums, const py::array_t<int64_t>& counts,
                               const py::array_t<double>& values) {
    const kq::DefaultFloatingPointMode defaultMode;  // the bits need it, whatever the caller left
    const int64_t channels = counts.size();
    const double* start = sums.is_none() ? nullptr : channelValues<double>(sums, channels, "sums");
    const int64_t* count = counts.data();
    int64_t total = 0;
    for (int64_t j = 0; j < channels; ++j) {
        if (count[j] < 0 || count[j] > values.size() - total) {
            throw py::value_error("_add_taken: the counts do not match the values");
        }
        total += count[j];
    }
    py::array_t<double> result(channels);
    double* sum = result.mutable_data();
    const double* taken = values.data();
    py::gil_scoped_release released;
    for (int64_t j = 0; j < channels; ++j) {
        sum[j] = addTakenCorrections(start != nullptr ? start[j] : 0.0, taken, count[j]);
        taken += count[j];
    }
    return result;
}

template <typename T>
py::array carriedOf(const py::array& block, const py::object& prev, const py::object& sums,
                    double cutoff) {
    const Channels channels = channelsOf(block, "_unwrap_carried");
    const T* before = channelValues<T>(prev, channels.count, "prev");
    std::vector<T> previous(before, before + channels.count);
    const double* start = channelValues<double>(sums, channels.count, "sums");
    std::vector<double> sum(start, start + channels.count);
    py::array_t<T> result({channels.count, channels.length});
    const T* in = static_cast<const T*>(block.data());
    T* out = result.mutable_data();
    const T cut = static_cast<T>(kq_cutoff_of_tolerance(cutoff));
    py::gil_scoped_release released;
    for (int64_t j = 0; j < channels.count; ++j) {
        unwrapCarried<T>(in + j * channels.length, out + j * channels.length, channels.length,
                         &previous[j], &sum[j], cut);
    }
    return result;
}

py::array unwrapCarriedOf(const py::array& block, const py::object& prev, const py::object& sums,
                          double cutoff) {
    const kq::DefaultFloatingPointMode defaultMode;  // the bits need it, whatever the caller left
    if (py::isinstance<py::array_t<double>>(block)) {
        return carriedOf<double>(block, prev, sums, cutoff);
    }
    if (py::isinstance<py::array_t<float>>(block)) {
        return carriedOf<float>(block, prev, sums, cutoff);
    }
    throw py::type_error("_unwrap_carried: the block must be float64 or float32");
}

}  // namespace

void defineChunkFunctions(py::module_& module) {
    module.def(
        "_taken_corrections", &takenCorrectionsOf, py::arg("block"), py::arg("prev"),
        py::arg("cutoff"),
        "_taken_corrections(block, prev, cutoff) -> (counts, values)\n\n"
        "The corrections every channel of a (channels, samples) block takes, in order, from the "
        "raw samples prev before it (None: the channels start at their sample 0): counts per "
        "channel, values channel after channel, float64.");
    module.def("_add_taken", &addTakenOf, py::arg("sums"), py::arg("counts"), py::arg("values"),
               "_add_taken(sums, counts, values) -> sums\n\n"
               "The carried correction sums (None: zeros) after adding every channel's taken "
               "corrections one at a time, in order.");
    module.def("_unwrap_carried", &unwrapCarriedOf, py::arg("block"), py::arg("prev"),
               py::arg("sums"), py::arg("cutoff"),
               "_unwrap_carried(block, prev, sums, cutoff) -> array\n\n"
               "Every channel of a (channels, samples) block unwrapped on from the raw sample prev "
               "before it and the float64 correction sum sums.");
}

}  // namespace kq::python
