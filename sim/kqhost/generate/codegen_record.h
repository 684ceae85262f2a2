// The block's code-generation record as kqhost generate reads it: the text the host's record
// writer produced (sim/engine/record_text_writer.h), and nothing else, is what the generated code
// is made from.
//
//   RBlkParamSettings {
//     Cutoff = 0.25 (double)
//     Running = 1 (boolean)
//   }
//
// Both settings must be there, once each and with these types (Cutoff double or single, Running
// boolean 0 or 1); any other line, setting or type is an error, since code made while ignoring a
// setting could compute something else.
#ifndef KQ_SIM_KQHOST_GENERATE_CODEGEN_RECORD_H
#define KQ_SIM_KQHOST_GENERATE_CODEGEN_RECORD_H

#include <string_view>

#include "sim/kqhost/io/signal_format.h"

namespace kq::kqhost {

struct CodegenSettings {
    double cutoff = 0.0;                       // exact; a single cutoff is widened
    Precision cutoffType = Precision::Double;  // the type the record gives it
    bool running = false;
};

// Throws KqhostError "code-generation record: ..." naming what it cannot read.
CodegenSettings parseCodegenRecord(std::string_view record);

}  // namespace kq::kqhost

#endif
