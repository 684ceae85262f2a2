// What kqhost assumes when the command line does not say: the block library it loads (beside
// kqhost) and the Tolerance dialog parameter of a new instance. The engine knows neither; kqhost's
// commands hand both to it. The literals are macros so that help texts can be put together around
// them.
#ifndef KQ_SIM_KQHOST_CLI_KQHOST_DEFAULTS_H
#define KQ_SIM_KQHOST_CLI_KQHOST_DEFAULTS_H

#define KQHOST_DEFAULT_BLOCK_NAME "kqphasefix2"

// Half a turn: every step of more than pi counts as a wrap.
#define KQHOST_DEFAULT_TOLERANCE 3.141592653589793
#define KQHOST_LITERAL_TEXT(literal) #literal
#define KQHOST_TEXT_OF(macro) KQHOST_LITERAL_TEXT(macro)
// "3.141592653589793", for help texts.
#define KQHOST_DEFAULT_TOLERANCE_TEXT KQHOST_TEXT_OF(KQHOST_DEFAULT_TOLERANCE)

namespace kq::kqhost {

inline constexpr char kDefaultBlockName[] = KQHOST_DEFAULT_BLOCK_NAME;
inline constexpr double kDefaultTolerance = KQHOST_DEFAULT_TOLERANCE;

}  // namespace kq::kqhost

#endif
