// The version, readable in the library file itself (`strings kqphasefix2.so | grep version`), so
// that a deployed block can be identified without loading it. Read-only data, not an export;
// `used` keeps it although no code reads it.
#include "entry/block_identity.h"
#include "kq_version.h"

namespace {
[[gnu::used]] constexpr char kLibraryVersion[] = KQ_BLOCK_NAME " version " KQ_VERSION_STRING;
}  // namespace
