// The block's writers of the code-generation record: typed name/value pairs checked for shape and
// forwarded to the host's record-writer services (HostInfo.writeRecordPair, writeRecordText).
#ifndef KQ_BLOCK_GXW_RECORD_WRITER_H
#define KQ_BLOCK_GXW_RECORD_WRITER_H

#include <cstdarg>
#include <cstdint>

#include "host/block_instance.h"
#include "host/record_pair.h"

namespace kq {

// Checks the shape of one pair and forwards it to the host's writeRecordPair, returning that
// service's result unchanged. A failed check stores its message with setErrorStatus and returns 0;
// so does a missing hostInfo or writeRecordPair (without a message). Arguments a kind does not use
// are not read. Pass references as const void* and kind 3's list double as a double.
int32_t biWriteGXWNameValuePair(BlockInstance* instance, int32_t kind, const char* name,
                                const void* value, ...);

// biWriteGXWNameValuePair with its trailing arguments in a va_list. As with vprintf, the caller's
// va_list is indeterminate afterwards and must only be passed to va_end.
int32_t biWriteGXWNameValuePairV(BlockInstance* instance, int32_t kind, const char* name,
                                 const void* value, va_list args);

// Writes a whole group: "RBlkParamSettings {", then `count` list entries (kind, name, then the
// kind's list arguments), then "}". Stops at the first result other than 1 and returns it (0 for a
// failed check, with its message stored); returns the closing text's result when all succeeded.
// A count of 0 or less writes nothing and returns 0.
int32_t biWriteGXWParamSettings(BlockInstance* instance, int32_t count, ...);

}  // namespace kq

#endif
