// How the block names itself.
#ifndef KQ_ENTRY_BLOCK_IDENTITY_H
#define KQ_ENTRY_BLOCK_IDENTITY_H

#include <cstddef>

// The block's own name; the host's blockName must equal it at load time.
inline constexpr char kBlockName[] = "kqphasefix2";
// Names are compared over the block name's bytes with its terminator.
inline constexpr size_t kBlockNameBytes = sizeof(kBlockName);
static_assert(kBlockNameBytes == 12);

// A block built under this name skips the load-time name check.
inline constexpr char kNameCheckExemptName[] = "veltrano_only_rblk";

// How command-line messages name the block (the inner quotes are part of the text).
inline constexpr char kBlockLabel[] = "KVX level2 R-block \"kqphasefix2\"";

#endif
