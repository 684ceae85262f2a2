#include "integrations/xcos/src/xcos_block_settings.h"

#include <filesystem>
#include <stdexcept>

#include "host/data_types.h"

namespace kq::xcos {

XcosBlockSettings readXcosBlockSettings(const double* rpar, int numRpar, const int* ipar,
                                        int numIpar, int inputRows, int inputColumns) {
    if (numRpar != 2 || rpar == nullptr) {
        throw std::invalid_argument("rpar must hold [Tolerance; Running]");
    }
    if (numIpar < 2 || ipar == nullptr || ipar[0] < 0 || ipar[1] < 1 || numIpar != 2 + ipar[1]) {
        throw std::invalid_argument("ipar must hold [N; L; ascii(library path)'] with N >= 0");
    }
    if (inputRows < 1 || inputColumns < 1) {
        throw std::invalid_argument("the input port has no elements");
    }
    XcosBlockSettings settings;
    settings.tolerance = rpar[0];
    settings.running = rpar[1];
    settings.frameLen = static_cast<size_t>(ipar[0]);
    for (int i = 0; i < ipar[1]; ++i) {
        const int code = ipar[2 + i];
        if (code < 1 || code > 255) {
            throw std::invalid_argument("the library path holds a character code out of range");
        }
        settings.libraryPath.push_back(static_cast<char>(code));
    }
    settings.inputRows = static_cast<size_t>(inputRows);
    settings.inputColumns = static_cast<size_t>(inputColumns);
    if (settings.frameLen == 0 && settings.inputColumns != 1) {
        throw std::invalid_argument("a sample-based input must be a column vector of channels");
    }
    if (settings.frameLen != 0 && settings.inputRows != settings.frameLen) {
        throw std::invalid_argument("a frame-based input must have N rows");
    }
    return settings;
}

kq::sim::SimulationSetup toSimulationSetup(const XcosBlockSettings& settings) {
    kq::sim::SimulationSetup setup;
    setup.typeId = kTypeIdDouble;
    if (settings.frameLen == 0) {
        setup.channels = settings.inputRows;
        setup.shape = kq::sim::PortShape::Column;
    } else {
        setup.channels = settings.inputColumns;
        setup.frameLen = settings.frameLen;
    }
    setup.tolerance = settings.tolerance;
    setup.mode = settings.running;
    setup.inPlace = false;
    // scicos activates the block by events, which is a discrete sample time; the block only checks
    // that its period is not zero, so the clock's own period need not be known here.
    setup.samplePeriod = 1.0;
    return setup;
}

std::string blockNameOf(const std::string& libraryPath) {
    return std::filesystem::path(libraryPath).stem().string();
}

}  // namespace kq::xcos
