// One simulation of a block by the stand-in host: propagation, start, output steps with parameter
// changes and resets, code generation and terminate, every call through kvxFunction.
#ifndef KQ_SIM_ENGINE_SIMULATION_H
#define KQ_SIM_ENGINE_SIMULATION_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/data_types.h"
#include "sim/engine/host_caller.h"
#include "sim/engine/host_instance.h"

namespace kq::sim {

// How a sample-based input port is shaped.
enum class PortShape { Row, Column, Vector };

struct SimulationSetup {
    int32_t typeId = kTypeIdDouble;    // port data type: double or single
    size_t channels = 1;               // C
    size_t frameLen = 0;               // N samples per channel and step; 0 for sample based
    PortShape shape = PortShape::Row;  // sample based only: 1xC, Cx1 or C elements
    double tolerance = 0.0;            // the Tolerance dialog parameter, as the caller chooses
    double mode = 0.0;                 // second parameter: 0 running, anything else stateless
    bool inPlace = false;              // output port 0 shares input port 0's buffer
    double samplePeriod = 1.0;         // the source's sample time
};

class Simulation {
  public:
    Simulation(HostCaller& caller, const SimulationSetup& setup,
               const HostInstanceOptions& options = {});
    Simulation(const Simulation&) = delete;
    Simulation& operator=(const Simulation&) = delete;
    // Terminates a started block.
    ~Simulation();

    // Load, parameter check, propagation, sample time, work vectors, start and initial conditions.
    // Throws BlockError with the block's message verbatim.
    void initialize();

    // Values per output step: frameLen x channels for frame-based input, channels otherwise.
    size_t valuesPerStep() const;
    // Time steps per output step: frameLen, or 1.
    size_t timeStepsPerStep() const;

    // One output step. `input` holds timeStepsPerStep() time steps of `channels` values each,
    // time-major, exactly representable in the port type; `output` receives the same shape.
    // The same as writeInput, runOutputStep and readOutput in turn.
    void step(const double* input, double* output);

    // The three parts of an output step, for a host that looks at the port buffers in between
    // (host().block()->inputPorts[0].data and outputPorts[0].data, column-major).
    // Stores time-major `input` in input port 0's buffer, as step does.
    void writeInput(const double* input);
    // Runs the block's output hook on what the port buffers hold now.
    void runOutputStep();
    // Reads output port 0's buffer into time-major `output`, as step does.
    void readOutput(double* output);

    // The user changed Tolerance: set it, check the parameters, report the change to the block.
    void setTolerance(double tolerance);
    // Runs the initial-conditions hook again.
    void reset();
    // Runs the code-generation hook; returns the record the host's writer formatted.
    std::string generateCode();
    // Releases the block's run-time record (also done by the destructor).
    void terminate();

    HostInstance& host() { return host_; }

  private:
    std::vector<int32_t> portDims() const;

    HostCaller& caller_;
    SimulationSetup setup_;
    HostInstance host_;
    bool started_ = false;
};

}  // namespace kq::sim

#endif
