#include "sim/kqhost/io/atomic_output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include "sim/kqhost/io/kqhost_error.h"

namespace kqhost {
namespace {

std::string temporaryTemplateFor(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + ".XXXXXX";
}

// mkstemp creates files readable by the owner only; a finished output gets what open(2) with
// mode 0666 would have given it. kqhost is single-threaded, so reading the umask by setting it
// and setting it back races with nothing.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

}  // namespace

AtomicOutputFile::AtomicOutputFile(std::string path) : path_(std::move(path)) {
    std::string pattern = temporaryTemplateFor(path_);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        throw KqhostError(path_ + ": cannot write: " + errnoText(errno));
    }
    file_ = FileDescriptor(fd, true);
    temporaryPath_.assign(name.data());
}

AtomicOutputFile::~AtomicOutputFile() {
    discard();
}

void AtomicOutputFile::write(const char* data, std::size_t size) {
    if (!file_.isOpen()) {
        throw std::logic_error("AtomicOutputFile::write after commit or failure");
    }
    try {
        writeAll(file_.get(), data, size, path_);
    } catch (const KqhostError&) {
        discard();
        throw;
    }
}

void AtomicOutputFile::commit() {
    if (!file_.isOpen()) {
        throw std::logic_error("AtomicOutputFile::commit after commit or failure");
    }
    int error = ::fchmod(file_.get(), newFileMode()) == 0 ? 0 : errno;
    if (error == 0) {
        error = file_.close();
    }
    if (error == 0 && ::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        discard();
        throw KqhostError(path_ + ": cannot write: " + errnoText(error));
    }
    temporaryPath_.clear();
}

void AtomicOutputFile::discard() {
    file_.close();
    if (!temporaryPath_.empty()) {
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
}

}  // namespace kqhost
