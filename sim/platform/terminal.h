// Whether kqhost's standard error is a terminal that can show a progress line.
#ifndef KQ_SIM_PLATFORM_TERMINAL_H
#define KQ_SIM_PLATFORM_TERMINAL_H

namespace kq::platform {

// True when standard error is a terminal that takes a carriage return and the "erase to the end of
// the line" escape (ESC [ K); false for files, pipes and devices.
bool standardErrorIsTerminal();

}  // namespace kq::platform

#endif
