// How the block presents itself to a host: its name, the label of its command-line messages, and
// the Tolerance its dialog starts with. The literals are macros so that texts can be put together
// around them.
#ifndef KQ_ENTRY_BLOCK_IDENTITY_H
#define KQ_ENTRY_BLOCK_IDENTITY_H

#include <cstddef>

namespace kq {

#define KQ_BLOCK_NAME "kqphasefix2"

// Half a turn: every step of more than pi counts as a wrap.
#define KQ_DEFAULT_TOLERANCE 3.141592653589793
#define KQ_LITERAL_TEXT(literal) #literal
#define KQ_TEXT_OF(macro) KQ_LITERAL_TEXT(macro)
// "3.141592653589793", for help texts.
#define KQ_DEFAULT_TOLERANCE_TEXT KQ_TEXT_OF(KQ_DEFAULT_TOLERANCE)

// The block's own name; the host's blockName must equal it at load time.
inline constexpr char kBlockName[] = KQ_BLOCK_NAME;
// Names are compared over the block name's bytes with its terminator.
inline constexpr size_t kBlockNameBytes = sizeof(kBlockName);
static_assert(kBlockNameBytes == 12);

// A block built under this name skips the load-time name check.
inline constexpr char kNameCheckExemptName[] = "veltrano_only_rblk";

// How command-line messages name the block (the inner quotes are part of the text).
inline constexpr char kBlockLabel[] = "KVX level2 R-block \"" KQ_BLOCK_NAME "\"";

// The Tolerance dialog parameter of a new instance.
inline constexpr double kDefaultTolerance = KQ_DEFAULT_TOLERANCE;

}  // namespace kq

#endif
