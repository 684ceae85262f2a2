// Runs the kqhost program in a child process and collects what it printed.
#ifndef KQ_TESTS_KQHOST_PROCESS_RUNNER_H
#define KQ_TESTS_KQHOST_PROCESS_RUNNER_H

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace kq::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when the program died from a signal (POSIX) or did not start
    std::string out;
    std::string err;
};

inline std::string readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

#ifdef _WIN32
// One argument as the C runtime's command-line parser reads it back: quoted, with backslashes
// doubled where they precede a quote.
inline std::string quoteArgument(const std::string& arg) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(2 * backslashes, '\\');
    return quoted + "\"";
}

// Starts the program with the three standard handles given and waits for it; -1 if it did not
// start.
inline int runAndWait(const std::string& program, const std::vector<std::string>& args,
                      HANDLE input, HANDLE output, HANDLE error) {
    std::string commandLine = quoteArgument(program);
    for (const std::string& arg : args) {
        commandLine += ' ';
        commandLine += quoteArgument(arg);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = error;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process) == 0) {
        return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(exitCode);
}
#endif

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

// Runs `program` with `args`, stdin from the null device, stdout and stderr captured through files
// in `scratch`.
inline ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::filesystem::path& scratch) {
    const std::filesystem::path outPath = scratch / "stdout.txt";
    const std::filesystem::path errPath = scratch / "stderr.txt";
    ProcessResult result;
#ifdef _WIN32
    SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const auto openInherited = [&](const char* path, DWORD access, DWORD creation) {
        return CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, creation,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    HANDLE input = openInherited("NUL", GENERIC_READ, OPEN_EXISTING);
    HANDLE output = openInherited(outPath.string().c_str(), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE error = openInherited(errPath.string().c_str(), GENERIC_WRITE, CREATE_ALWAYS);
    if (input != INVALID_HANDLE_VALUE && output != INVALID_HANDLE_VALUE &&
        error != INVALID_HANDLE_VALUE) {
        result.exitCode = runAndWait(program, args, input, output, error);
    }
    for (HANDLE handle : {input, output, error}) {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
#else
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
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
#endif
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
        std::random_device entropy;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::filesystem::path candidate = std::filesystem::temp_directory_path() /
                                                    ("kqhost-test-" + std::to_string(entropy()));
            if (std::filesystem::create_directory(candidate)) {
                path_ = candidate;
            }
        }
        if (path_.empty()) {
            throw std::runtime_error("cannot create a scratch folder");
        }
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

}  // namespace kq::test

#endif
