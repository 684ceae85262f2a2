// Reading kqhost's command-line options: one word at a time, each value checked in full, so the
// first bad word on the line is the one reported. Written by hand rather than with CLI11 (2.1),
// which would change the interface: it reads "--x=" as taking the next word for its value, treats
// "--" as the end of the options, reports unknown options only after the whole line (a later
// --help or bad value wins over them), and reads a value given to a flag ("--in-place=no").
#ifndef KQ_SIM_KQHOST_CLI_OPTION_PARSING_H
#define KQ_SIM_KQHOST_CLI_OPTION_PARSING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kq::kqhost {

// Walks the arguments of one subcommand. Options may be given as "--name value" or "--name=value".
// Each option may be given once, but for those named repeatable: a second one would silently
// override the first.
class OptionCursor {
  public:
    explicit OptionCursor(std::vector<std::string> args,
                          std::vector<std::string_view> repeatable = {})
        : args_(std::move(args)), repeatable_(std::move(repeatable)) {}

    bool done() const { return next_ >= args_.size(); }
    // The next argument; an option's name without any "=value" part. Throws KqhostError
    // "OPTION is given twice" for a second one that is not repeatable.
    std::string takeWord();
    // The value of the option just taken; throws KqhostError "OPTION needs a value" when there is
    // none: at the end of the line, an empty "--name=", or an option ("--...") in its place.
    std::string takeValue(std::string_view option);

  private:
    std::vector<std::string> args_;
    std::vector<std::string_view> repeatable_;
    std::vector<std::string> taken_;
    size_t next_ = 0;
    std::string pendingValue_;
    bool hasPendingValue_ = false;
};

// A finite number, the whole text: decimal, or a hexadecimal float ("0x1.8p-2") read exactly;
// throws KqhostError naming the option otherwise.
double parseFiniteNumber(std::string_view option, std::string_view text);
// Any number, NaN and infinities included ("nan", "inf", "-inf").
double parseAnyNumber(std::string_view option, std::string_view text);
// A whole number from 1 to max.
size_t parsePositiveCount(std::string_view option, std::string_view text, size_t max);
// A whole number from 0 to max.
size_t parseIndex(std::string_view option, std::string_view text, size_t max);

}  // namespace kq::kqhost

#endif
