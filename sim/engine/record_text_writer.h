// The stand-in host's code-generation record: the two record-writer services of HostInfo,
// appending the block's settings to a text record, one line per call.
//
// A record written by the block's settings writer reads:
//
//   RBlkParamSettings {
//     Cutoff = 0.25 (double)
//     Running = 1 (boolean)
//   }
//
// Pair lines are "  NAME = VALUE (TYPE)". TYPE is double, single, boolean or "typeid N", followed
// by " complex" when the typeWord has its complex bit; the text kinds (0 to 2) carry no TYPE.
// VALUE, by kind:
//   valueItemA     the text as it is              valueItemB      the text in double quotes
//   valueItemList  ["a", "b"]                     a NULL text     null
//   scalar kinds   1.5                            vector kinds    [1, 2, 3]
//   matrix kinds   [a, b; c, d], row by row from column-major elements
//   empty vector or matrix: []
// Numbers read back exactly: doubles with 17 significant digits, singles with 9, booleans as 0 or
// 1, and nan, inf, -inf. A complex element is "re+imi" or "re-imi" (the sign is the imaginary
// part's, -0 included); non-split complex elements are stored interleaved re, im.
#ifndef KQ_SIM_ENGINE_RECORD_TEXT_WRITER_H
#define KQ_SIM_ENGINE_RECORD_TEXT_WRITER_H

#include <cstdint>
#include <string>

#include "host/host_info.h"

namespace kq::sim {

class RecordTextWriter {
  public:
    // WriteRecordTextFn; context is the RecordTextWriter. Appends text and a newline; returns 1,
    // or 0 for a NULL text.
    static int32_t writeText(void* context, const char* text);

    // WriteRecordPairFn; context is the RecordTextWriter. Appends one pair line and returns 1.
    // Returns 0 and writes nothing for an unknown kind, an unknown type id among non-empty
    // numbers, a missing name, negative dimensions or missing elements.
    static int32_t writePair(void* context, int32_t kind, const char* name, const void* value,
                             int32_t typeWord, int32_t rows, int32_t columns);

    // Points the writer services and recordWriterContext of hostInfo at this record; the record
    // must outlive their use.
    void attachTo(HostInfo& hostInfo);

    const std::string& record() const { return record_; }

    // Service calls so far, text and pair calls counted together, failed ones included.
    int32_t callCount() const { return callCount_; }

    // Makes call number callNumber (1-based, as callCount counts) return result and write
    // nothing, so that a caller's handling of a refused write can be exercised. 0 turns it off.
    void failCall(int32_t callNumber, int32_t result);

  private:
    // True when this call is the one chosen by failCall; counts the call either way.
    bool takeInjectedFailure(int32_t& result);

    std::string record_;
    int32_t callCount_ = 0;
    int32_t failingCall_ = 0;
    int32_t failingResult_ = 0;
};

}  // namespace kq::sim

#endif
