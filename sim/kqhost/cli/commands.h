// kqhost's subcommands. Each takes the arguments after its name, writes its result to stdout and
// returns the exit status; failures are thrown as KqhostError (or a block's error) for main.
#ifndef KQ_SIM_KQHOST_CLI_COMMANDS_H
#define KQ_SIM_KQHOST_CLI_COMMANDS_H

#include <string>
#include <vector>

namespace kq::kqhost {

int runSizesCommand(const std::vector<std::string>& args);
int runRunCommand(const std::vector<std::string>& args);
int runGxwCommand(const std::vector<std::string>& args);
int runValidateCommand(const std::vector<std::string>& args);
int runGenerateCommand(const std::vector<std::string>& args);

// The block library kqhost loads unless --block names another: kqphasefix2.so beside kqhost.
std::string defaultBlockPath();

}  // namespace kq::kqhost

#endif
