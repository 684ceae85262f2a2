// Runs the kqhost program in a child process and collects what it printed.
#ifndef KQ_TESTS_KQHOST_PROCESS_RUNNER_H
#define KQ_TESTS_KQHOST_PROCESS_RUNNER_H

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kqtest {

struct ProcessResult {
    int exitCode = -1;  // -1 when the program died from a signal
    std::string out;
    std::string err;
};

inline std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The command that starts a program of the build: empty natively; in a cross build run under a
// user-mode emulator, the emulator and its options (KQ_CHILD_LAUNCHER, words separated by '|'),
// since the emulated test cannot execute a program of its own architecture directly.
inline std::vector<std::string> childLauncher() {
    std::vector<std::string> words;
#ifdef KQ_CHILD_LAUNCHER
    std::istringstream text(KQ_CHILD_LAUNCHER);
    for (std::string word; std::getline(text, word, '|');) {
        words.push_back(word);
    }
#endif
    return words;
}

// Runs `program` with `args`, stdin from /dev/null, stdout and stderr captured through files in
// `scratch`.
inline ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& scratch) {
    const std::filesystem::path outPath = scratch / "stdout.txt";
    const std::filesystem::path errPath = scratch / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<std::string> words = childLauncher();
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    ProcessResult result;
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = readWholeFile(outPath);
    result.err = readWholeFile(errPath);
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return result;
}

// A fresh, empty folder for one test, removed with everything in it at the end.
class ScratchDir {
  public:
    ScratchDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kqhost-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Names of everything in the folder (for "no file left behind" checks).
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

  private:
    std::filesystem::path path_;
};

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace kqtest

#endif
