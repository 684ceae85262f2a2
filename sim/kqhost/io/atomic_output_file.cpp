#include "sim/kqhost/io/atomic_output_file.h"

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include "sim/kqhost/io/kqhost_error.h"
#include "sim/platform/file_io.h"
#include "sim/platform/file_replacement.h"

namespace kq::kqhost {
namespace {

std::string temporaryTemplateFor(const std::string& path) {
    const std::filesystem::path target(path);
    const std::string name = target.filename().string();
    return (target.parent_path() / ("." + name + ".XXXXXX")).string();
}

}  // namespace

AtomicOutputFile::AtomicOutputFile(std::string path) : path_(std::move(path)) {
    std::string name = temporaryTemplateFor(path_);
    const int fd = kq::platform::createUniqueFile(name);
    if (fd < 0) {
        throw KqhostError(path_ + ": cannot write: " + errnoText(errno));
    }
    file_ = FileDescriptor(fd, true);
    temporaryPath_ = std::move(name);
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
    written_ += size;
}

void AtomicOutputFile::reserve(std::uint64_t bytes) {
    if (file_.isOpen() && bytes > written_) {
        kq::platform::reserveFileSpace(file_.get(), bytes);
        reserved_ = bytes;
    }
}

void AtomicOutputFile::commit() {
    if (!file_.isOpen()) {
        throw std::logic_error("AtomicOutputFile::commit after commit or failure");
    }
    if (reserved_ > written_) {
        kq::platform::releaseSpaceBeyond(file_.get(), written_);
    }
    int error = kq::platform::giveNewFilePermissions(file_.get());
    if (error == 0) {
        error = file_.close();
    }
    if (error == 0) {
        error = kq::platform::replaceFile(temporaryPath_, path_);
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
        kq::platform::removeFile(temporaryPath_);
        temporaryPath_.clear();
    }
}

}  // namespace kq::kqhost
