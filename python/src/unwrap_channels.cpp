#include "unwrap_channels.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <type_traits>
#include <vector>

#include "kernel_calls.h"

namespace kq::python {

namespace {

constexpr int64_t kMaxChannelsPerCall = std::numeric_limits<int32_t>::max();
// Channels staged together: enough to cover the channels of a time-major signal, so that one pass
// over its rows fills them all.
constexpr size_t kMaxStagedChannels = 16;
// A double channel is staged in tiles that stay in cache: its running kernel carries the correction
// exactly from one call to the next, so tiles give the bits of one call.
constexpr int64_t kDoubleTileSamples = 2048;
// A single channel must be staged whole: its running kernel rounds the correction to binary32 at
// the end of every call, so tiles would change the bits. This bounds the group, not the channel.
constexpr int64_t kWholeChannelGroupBytes = int64_t{32} << 20;

// Side-by-side channels are walked row by row from two on (one channel is simply strided), and from
// as many as the row walk takes.
constexpr int64_t kMinSideBySideChannels = 2;

template <typename T>
bool channelsAsKernelsWant(const ChannelCursor& channels) {
    constexpr int64_t size = sizeof(T);
    return channels.inStep() == size && channels.outStep() == size && channels.aligned(size);
}

// How many channels lie side by side, when enough do for the row walk; else 0.
template <typename T>
int64_t sideBySideGroup(const ChannelCursor& channels) {
    constexpr int64_t size = sizeof(T);
    const int64_t count = channels.sideBySideChannels(size);
    const bool walked = count >= std::max(kMinSideBySideChannels, unwrapRowsMinChannels());
    return walked && channels.aligned(size) ? count : 0;
}

// A group of side-by-side channels as rows: sample r of channel j at in[r * inRowStep + j].
template <typename T>
struct SideBySide {
    const T* in;
    T* out;
    int64_t inRowStep;
    int64_t outRowStep;
    int64_t firstChannel;
};

// Calls run(group) for every group of `count` side-by-side channels, in the cursor's order.
template <typename T, typename Run>
void forEachSideBySideGroup(ChannelCursor& channels, int64_t count, Run run) {
    constexpr int64_t size = sizeof(T);
    for (int64_t first = 0; first < channels.channelCount(); first += count) {
        run(SideBySide<T>{reinterpret_cast<const T*>(channels.in()),
                          reinterpret_cast<T*>(channels.out()), channels.inStep() / size,
                          channels.outStep() / size, first});
        for (int64_t i = 0; i < count; ++i) {
            channels.advance();
        }
    }
}

// Calls run(in, out, firstChannel, channelCount) for every run of channels that lie one after
// another.
template <typename T, typename Run>
void forEachChannelRun(ChannelCursor& channels, Run run) {
    const uintptr_t channelBytes = static_cast<uintptr_t>(channels.channelLength()) * sizeof(T);
    const char* runIn = nullptr;
    char* runOut = nullptr;
    int64_t runFirst = 0;
    int64_t runChannels = 0;
    for (int64_t i = 0; i < channels.channelCount(); ++i, channels.advance()) {
        const uintptr_t offset = static_cast<uintptr_t>(runChannels) * channelBytes;
        if (runChannels > 0 && runChannels < kMaxChannelsPerCall &&
            reinterpret_cast<uintptr_t>(channels.in()) ==
                reinterpret_cast<uintptr_t>(runIn) + offset &&
            reinterpret_cast<uintptr_t>(channels.out()) ==
                reinterpret_cast<uintptr_t>(runOut) + offset) {
            ++runChannels;
            continue;
        }
        if (runChannels > 0) {
            run(reinterpret_cast<const T*>(runIn), reinterpret_cast<T*>(runOut), runFirst,
                runChannels);
        }
        runIn = channels.in();
        runOut = channels.out();
        runFirst = i;
        runChannels = 1;
    }
    if (runChannels > 0) {
        run(reinterpret_cast<const T*>(runIn), reinterpret_cast<T*>(runOut), runFirst, runChannels);
    }
}

// Copies between W channels `gap` bytes apart, whose samples lie `step` bytes apart, and W staged
// runs of len samples, `runStride` samples apart. W is a constant, so that a row of the channels is
// copied without a loop; for a time-major signal it is one contiguous read or write.
template <typename T, int W>
void gatherRows(const char* channels, int64_t gap, int64_t step, int64_t len, T* runs,
                int64_t runStride) {
    for (int64_t n = 0; n < len; ++n) {
        const char* row = channels + n * step;
        for (int i = 0; i < W; ++i) {
            std::memcpy(runs + i * runStride + n, row + i * gap, sizeof(T));
        }
    }
}

template <typename T, int W>
void scatterRows(const T* runs, int64_t runStride, char* channels, int64_t gap, int64_t step,
                 int64_t len) {
    for (int64_t n = 0; n < len; ++n) {
        char* row = channels + n * step;
        for (int i = 0; i < W; ++i) {
            std::memcpy(row + i * gap, runs + i * runStride + n, sizeof(T));
        }
    }
}

// The widest block of channels from `first` on, of at most 8, that lie the same distance apart.
template <typename Pointer>
int evenlySpacedBlock(const std::array<Pointer, kMaxStagedChannels>& starts, size_t first,
                      size_t count, int64_t& gap) {
    const size_t left = count - first;
    gap = left > 1 ? starts[first + 1] - starts[first] : 0;
    for (int width : {8, 4, 2}) {
        if (left < static_cast<size_t>(width)) {
            continue;
        }
        bool even = true;
        for (int i = 2; i < width && even; ++i) {
            even = starts[first + static_cast<size_t>(i)] - starts[first] == i * gap;
        }
        if (even) {
            return width;
        }
    }
    return 1;
}

// Calls copy(std::integral_constant<int, W>) for the block width W that evenlySpacedBlock gave
// (8, 4, 2 or 1), so that each width gets its own loop without a loop over the channels.
template <typename Copy>
void forBlockWidth(int width, Copy copy) {
    switch (width) {
        case 8:
            copy(std::integral_constant<int, 8>{});
            break;
        case 4:
            copy(std::integral_constant<int, 4>{});
            break;
        case 2:
            copy(std::integral_constant<int, 2>{});
            break;
        default:
            copy(std::integral_constant<int, 1>{});
    }
}

// A group of channels copied through staging: staged[g * len + n] is sample from + n of channel g.
template <typename T>
struct ChannelGroup {
    std::array<const char*, kMaxStagedChannels> in{};
    std::array<char*, kMaxStagedChannels> out{};
    size_t count = 0;
    int64_t inStep = 0;
    int64_t outStep = 0;

    void gather(int64_t from, int64_t len, T* staged) const {
        for (size_t g = 0; g < count;) {
            int64_t gap = 0;
            const int width = evenlySpacedBlock(in, g, count, gap);
            const char* channels = in[g] + from * inStep;
            T* runs = staged + static_cast<int64_t>(g) * len;
            forBlockWidth(width, [&](auto w) {
                gatherRows<T, decltype(w)::value>(channels, gap, inStep, len, runs, len);
            });
            g += static_cast<size_t>(width);
        }
    }

    void scatter(int64_t from, int64_t len, const T* staged) const {
        for (size_t g = 0; g < count;) {
            int64_t gap = 0;
            const int width = evenlySpacedBlock(out, g, count, gap);
            char* channels = out[g] + from * outStep;
            const T* runs = staged + static_cast<int64_t>(g) * len;
            forBlockWidth(width, [&](auto w) {
                scatterRows<T, decltype(w)::value>(runs, len, channels, gap, outStep, len);
            });
            g += static_cast<size_t>(width);
        }
    }
};

template <typename T>
int64_t stagingTile(int64_t channelLength) {
    if constexpr (std::is_same_v<T, double>) {
        return std::min(channelLength, kDoubleTileSamples);
    } else {
        return channelLength;
    }
}

template <typename T>
size_t stagedChannelsPerGroup(int64_t tile) {
    if constexpr (std::is_same_v<T, double>) {
        return kMaxStagedChannels;
    } else {
        const int64_t fit = kWholeChannelGroupBytes / (tile * static_cast<int64_t>(sizeof(T)));
        return static_cast<size_t>(std::clamp<int64_t>(fit, 1, kMaxStagedChannels));
    }
}

// Calls run(group, firstChannel) for groups of channels in the cursor's order.
template <typename T, typename Run>
void forEachChannelGroup(ChannelCursor& channels, size_t channelsPerGroup, Run run) {
    ChannelGroup<T> group;
    group.inStep = channels.inStep();
    group.outStep = channels.outStep();
    int64_t first = 0;
    for (int64_t i = 0; i < channels.channelCount(); ++i, channels.advance()) {
        group.in[group.count] = channels.in();
        group.out[group.count] = channels.out();
        if (++group.count == channelsPerGroup) {
            run(group, first);
            group.count = 0;
            first = i + 1;
        }
    }
    if (group.count > 0) {
        run(group, first);
    }
}

// The running kernel over the group's channels, tile after tile, in the staging buffer.
template <typename T>
void unwrapGroupRunning(const ChannelGroup<T>& group, int64_t channelLength, int64_t tile, T* prev,
                        T* cumsum, T cutoff, uint8_t firstStep, T* staged) {
    for (int64_t from = 0; from < channelLength; from += tile) {
        const int64_t len = std::min(tile, channelLength - from);
        group.gather(from, len, staged);
        unwrapRunning<T>(staged, staged, prev, cumsum, cutoff, static_cast<int32_t>(group.count),
                         static_cast<int32_t>(len), &firstStep);
        group.scatter(from, len, staged);
    }
}

}  // namespace

template <typename T>
void unwrapChannelsStateless(ChannelCursor channels, T cutoff) {
    const int64_t length = channels.channelLength();
    if (length == 0 || channels.channelCount() == 0) {
        return;
    }
    if (channelsAsKernelsWant<T>(channels)) {
        forEachChannelRun<T>(channels, [&](const T* in, T* out, int64_t, int64_t count) {
            unwrapStateless<T>(in, out, cutoff, static_cast<int32_t>(count),
                               static_cast<int32_t>(length));
        });
        return;
    }
    // Side-by-side channels are walked in place of the kernels, with the same bits: sample 0 passes
    // through, and the walk carries every channel on from it with a zero binary64 correction, as
    // the stateless kernels do.
    if (const int64_t count = sideBySideGroup<T>(channels); count > 0) {
        std::vector<T> prev(static_cast<size_t>(count));
        std::vector<double> sum(static_cast<size_t>(count));
        const size_t rowBytes = static_cast<size_t>(count) * sizeof(T);
        forEachSideBySideGroup<T>(channels, count, [&](const SideBySide<T>& g) {
            std::memcpy(prev.data(), g.in, rowBytes);
            std::memcpy(g.out, prev.data(), rowBytes);
            std::fill(sum.begin(), sum.end(), 0.0);
            unwrapRows<T>(g.in + g.inRowStep, g.inRowStep, g.out + g.outRowStep, g.outRowStep,
                          length - 1, count, prev.data(), sum.data(), cutoff);
        });
        return;
    }
    // Staged channels run the running kernel from a first step, which gives the stateless bits from
    // sample 1 on; sample 0, which that kernel would write as 0 + x, is put back raw.
    const int64_t tile = stagingTile<T>(length);
    const size_t channelsPerGroup = stagedChannelsPerGroup<T>(tile);
    StagingBuffer<T> staging;
    T* staged = staging.reserve(channelsPerGroup * static_cast<size_t>(tile));
    forEachChannelGroup<T>(channels, channelsPerGroup, [&](const ChannelGroup<T>& group, int64_t) {
        std::array<T, kMaxStagedChannels> prev{};
        std::array<T, kMaxStagedChannels> cumsum{};
        std::array<T, kMaxStagedChannels> first{};
        for (size_t g = 0; g < group.count; ++g) {
            std::memcpy(&first[g], group.in[g], sizeof(T));
        }
        unwrapGroupRunning<T>(group, length, tile, prev.data(), cumsum.data(), cutoff, 1, staged);
        for (size_t g = 0; g < group.count; ++g) {
            std::memcpy(group.out[g], &first[g], sizeof(T));
        }
    });
}

template <typename T>
void unwrapChannelsRunning(ChannelCursor channels, T* prev, T* cumsum, T cutoff, uint8_t* firstStep,
                           StagingBuffer<T>& staging) {
    const int64_t length = channels.channelLength();
    if (length == 0 || channels.channelCount() == 0) {
        return;
    }
    // Every run or group of channels starts from the state the whole call started from.
    const uint8_t firstStepAtStart = *firstStep;
    if (channelsAsKernelsWant<T>(channels)) {
        forEachChannelRun<T>(
            channels, [&](const T* in, T* out, int64_t firstChannel, int64_t count) {
                uint8_t runFirstStep = firstStepAtStart;
                unwrapRunning<T>(in, out, prev + firstChannel, cumsum + firstChannel, cutoff,
                                 static_cast<int32_t>(count), static_cast<int32_t>(length),
                                 &runFirstStep);
            });
    } else if (const int64_t count = sideBySideGroup<T>(channels); count > 0) {
        // The walk keeps the correction in binary64 from row to row and leaves it to be
        // rounded once, at the end of the call, as the running per-channel kernel does.
        std::vector<double> sum(static_cast<size_t>(count));
        const size_t rowBytes = static_cast<size_t>(count) * sizeof(T);
        forEachSideBySideGroup<T>(channels, count, [&](const SideBySide<T>& g) {
            T* groupPrev = prev + g.firstChannel;
            T* groupCumsum = cumsum + g.firstChannel;
            if (firstStepAtStart != 0) {
                std::memcpy(groupPrev, g.in, rowBytes);
                std::fill(sum.begin(), sum.end(), 0.0);
            } else {
                std::copy(groupCumsum, groupCumsum + count, sum.begin());
            }
            unwrapRows<T>(g.in, g.inRowStep, g.out, g.outRowStep, length, count, groupPrev,
                          sum.data(), cutoff);
            for (int64_t j = 0; j < count; ++j) {
                groupCumsum[j] = static_cast<T>(sum[static_cast<size_t>(j)]);
            }
        });
    } else {
        const int64_t tile = stagingTile<T>(length);
        const size_t channelsPerGroup = stagedChannelsPerGroup<T>(tile);
        T* staged = staging.reserve(channelsPerGroup * static_cast<size_t>(tile));
        forEachChannelGroup<T>(
            channels, channelsPerGroup, [&](const ChannelGroup<T>& group, int64_t first) {
                unwrapGroupRunning<T>(group, length, tile, prev + first, cumsum + first, cutoff,
                                      firstStepAtStart, staged);
            });
    }
    *firstStep = 0;
}

template void unwrapChannelsStateless<double>(ChannelCursor, double);
template void unwrapChannelsStateless<float>(ChannelCursor, float);
template void unwrapChannelsRunning<double>(ChannelCursor, double*, double*, double, uint8_t*,
                                            StagingBuffer<double>&);
template void unwrapChannelsRunning<float>(ChannelCursor, float*, float*, float, uint8_t*,
                                           StagingBuffer<float>&);

}  // namespace kq::python
