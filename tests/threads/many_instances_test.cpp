// Many instances of the loaded block on many threads at once give the same outputs as the same
// runs one at a time: the block shares no writable state between instances.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "entry/block_identity.h"
#include "host/data_types.h"
#include "sim/engine/block_library.h"
#include "sim/engine/host_caller.h"
#include "sim/engine/simulation.h"

namespace {

constexpr int kInstances = 8;
constexpr int kOutputCalls = 10000;

kq::sim::SimulationSetup setupFor(int instance) {
    kq::sim::SimulationSetup setup;
    setup.typeId = instance % 2 == 0 ? kTypeIdDouble : kTypeIdSingle;
    setup.channels = 1 + static_cast<size_t>(instance % 3);
    setup.frameLen = instance % 4 < 2 ? 0 : 4 + static_cast<size_t>(instance);
    setup.shape = instance % 3 == 0 ? kq::sim::PortShape::Row : kq::sim::PortShape::Vector;
    setup.mode = instance % 5 == 4 ? 1.0 : 0.0;
    setup.inPlace = instance % 3 == 1;
    setup.tolerance = 3.0 + 0.01 * instance;
    return setup;
}

// Runs one instance through kOutputCalls output steps and returns the bits of every output.
std::vector<uint64_t> runInstance(KvxFunctionFn kvxFunction, int instance) {
    kq::sim::HostCaller caller(kvxFunction);
    const kq::sim::SimulationSetup setup = setupFor(instance);
    kq::sim::Simulation simulation(caller, setup, {.blockName = kq::kBlockName});
    simulation.initialize();
    std::mt19937_64 rng(static_cast<uint64_t>(instance) + 1);
    std::uniform_real_distribution<double> phase(-3.2, 3.2);
    std::vector<double> input(simulation.valuesPerStep());
    std::vector<double> output(input.size());
    std::vector<uint64_t> bits;
    bits.reserve(input.size() * kOutputCalls);
    for (int step = 0; step < kOutputCalls; ++step) {
        for (double& v : input) {
            v = setup.typeId == kTypeIdSingle ? static_cast<float>(phase(rng)) : phase(rng);
        }
        if (step == kOutputCalls / 2) {
            simulation.setTolerance(1.0);
        }
        simulation.step(input.data(), output.data());
        for (double v : output) {
            bits.push_back(std::bit_cast<uint64_t>(v));
        }
    }
    simulation.terminate();
    return bits;
}

TEST(ManyInstances, ConcurrentRunsEqualTheSameRunsOneAtATime) {
    kq::sim::BlockLibrary library(KQ_BLOCK_MODULE_PATH);
    std::vector<std::vector<uint64_t>> alone(kInstances);
    for (int i = 0; i < kInstances; ++i) {
        alone[i] = runInstance(library.kvxFunction(), i);
    }
    std::vector<std::vector<uint64_t>> together(kInstances);
    std::vector<std::thread> threads;
    for (int i = 0; i < kInstances; ++i) {
        threads.emplace_back([&, i] { together[i] = runInstance(library.kvxFunction(), i); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (int i = 0; i < kInstances; ++i) {
        ASSERT_EQ(together[i].size(), alone[i].size());
        EXPECT_TRUE(together[i] == alone[i]) << "instance " << i;
    }
}

}  // namespace
