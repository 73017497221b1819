#include "core/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), error_(other.error_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
    }
    return *this;
}

bool RegularFile::open(const std::string& path) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    error_ = 0;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        error_ = errno;
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error_ = S_ISDIR(st.st_mode) ? EISDIR : kNotRegular;
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        error_ = errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

std::string RegularFile::reason() const {
    if (error_ == 0) return {};
    if (error_ == kNotRegular) return "not a regular file";
    if (error_ == EISDIR) return "is a folder, not a file";
    return std::strerror(error_);
}

bool RegularFile::readAll(std::string& bytes, std::size_t limit, std::string& why) {
    bytes.clear();
    if (fd_ < 0) {
        why = reason();
        return false;
    }
    char buffer[65536];
    // One byte past the limit tells a file of exactly limit bytes from a larger one.
    while (bytes.size() <= limit) {
        const std::size_t want = std::min(sizeof buffer, limit + 1 - bytes.size());
        const ssize_t r = ::read(fd_, buffer, want);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            why = std::strerror(errno);
            return false;
        }
        if (r == 0) return true;
        bytes.append(buffer, static_cast<std::size_t>(r));
    }
    why = "larger than " + std::to_string(limit) + " bytes";
    return false;
}

bool ReadRegularFile(const std::string& path, std::string& bytes, std::size_t limit,
                     std::string& why) {
    RegularFile file(path);
    return file.readAll(bytes, limit, why);
}

std::string ReplaceableTargetProblem(const std::string& path) {
    struct stat lst;
    if (::lstat(path.c_str(), &lst) != 0) return {};  // missing: created later
    struct stat st = lst;
    if (S_ISLNK(lst.st_mode) && ::stat(path.c_str(), &st) != 0)
        return "a symbolic link that leads nowhere";
    if (S_ISDIR(st.st_mode)) return "is a folder, not a file";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    return {};
}

std::string TargetWriteProblem(const std::string& path) {
    if (std::string why = ReplaceableTargetProblem(path); !why.empty()) return why;
    std::error_code ec;
    std::filesystem::path target(path);
    if (std::filesystem::is_symlink(target, ec)) {
        const auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (!ec) target = resolved;
    }
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    // A file made and dropped at once is the one test the file system cannot misreport
    // (permissions, read-only mounts, ACLs, a file where the folder should be).
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return {};
    }
    if (errno == EACCES || errno == EROFS || errno == ENOENT || errno == ENOTDIR ||
        errno == ENOSPC || errno == EDQUOT)
        return std::strerror(errno);
    const std::string probe =
        (folder / (".kalvix-probe." + std::to_string(::getpid()) + ".tmp")).string();
    fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    ::unlink(probe.c_str());
    return {};
}

std::string WriteErrorText(int err) { return std::strerror(err); }
