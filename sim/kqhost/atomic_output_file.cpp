#include "sim/kqhost/atomic_output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include "sim/kqhost/kqhost_error.h"

namespace kqhost {
namespace {

std::string temporaryTemplateFor(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
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
    if (!committed_) {
        file_.close();
        ::unlink(temporaryPath_.c_str());
    }
}

void AtomicOutputFile::write(const char* data, std::size_t size) {
    if (committed_) {
        throw std::logic_error("AtomicOutputFile::write after commit");
    }
    writeAll(file_.get(), data, size, path_);
}

void AtomicOutputFile::commit() {
    if (committed_) {
        throw std::logic_error("AtomicOutputFile::commit called twice");
    }
    if (::fchmod(file_.get(), newFileMode()) != 0) {
        throw KqhostError(path_ + ": cannot write: " + errnoText(errno));
    }
    if (const int error = file_.close(); error != 0) {
        throw KqhostError(path_ + ": cannot write: " + errnoText(error));
    }
    if (::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
        throw KqhostError(path_ + ": cannot write: " + errnoText(errno));
    }
    committed_ = true;
}

}  // namespace kqhost
