// What the Xcos block's interfacing function (macros/KQPHASEFIX2.sci) stores in the scicos model,
// read back by the computational function:
//
//   rpar = [Tolerance; Running]                 both handed to the block as its dialog parameters
//   ipar = [N; L; ascii(library path)']         N: samples per channel and activation (0: the
//                                                input is a vector of channels); L: path length
//
// The input port is C x 1 (a vector of C channels) when N is 0, and N x C (a frame of N samples
// of every channel, one channel per column) otherwise.
#ifndef KQ_XCOS_XCOS_BLOCK_SETTINGS_H
#define KQ_XCOS_XCOS_BLOCK_SETTINGS_H

#include <cstddef>
#include <string>

#include "sim/engine/simulation.h"

namespace kq::xcos {

// The parameters of one block as the interfacing function wrote them, and its input's size.
struct XcosBlockSettings {
    double tolerance = 0.0;
    double running = 0.0;  // the second dialog parameter: 0 running, anything else stateless
    size_t frameLen = 0;
    std::string libraryPath;
    size_t inputRows = 0;
    size_t inputColumns = 0;
};

// Reads rpar, ipar and the input port's size; throws std::invalid_argument with a one-line reason
// when they do not have the layout above.
XcosBlockSettings readXcosBlockSettings(const double* rpar, int numRpar, const int* ipar,
                                        int numIpar, int inputRows, int inputColumns);

// The stand-in engine's setup for these settings: double data, column-shaped sample-based input
// or frame-based N x C input, separate input and output buffers.
kq::sim::SimulationSetup toSimulationSetup(const XcosBlockSettings& settings);

// The block's name as the engine gives it at load: the library file's name without its folder
// and extension, as kqhost does.
std::string blockNameOf(const std::string& libraryPath);

}  // namespace kq::xcos

#endif
