#include "core/ini/LockHolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

// The first line of a /proc file, without its line end; empty when it cannot be read.
std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string UserOf(const std::string& pid) {
    std::ifstream in("/proc/" + pid + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Uid:", 0) == 0) {
            unsigned long uid = 0;
            if (std::sscanf(line.c_str(), "Uid: %lu", &uid) != 1) return {};
            passwd entry{};
            passwd* found = nullptr;
            std::vector<char> buffer(16384);
            if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(),
                             &found) == 0 &&
                found != nullptr)
                return found->pw_name;
            return "uid " + std::to_string(uid);
        }
    return {};
}

}  // namespace

std::string LockHolderText(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return {};
    char file[64];
    std::snprintf(file, sizeof file, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    // "1: FLOCK  ADVISORY  WRITE 1234 08:01:5678 0 EOF"; a waiter's line has "->" after the
    // number and holds nothing.
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, where;
        fields >> number >> kind;
        if (kind != "FLOCK") continue;
        fields >> mode >> access >> pid >> where;
        if (where != file) continue;
        std::string text = "process " + pid;
        if (const std::string command = FirstLine("/proc/" + pid + "/comm"); !command.empty())
            text += " (" + command + ")";
        if (const std::string user = UserOf(pid); !user.empty()) text += " of the user " + user;
        return text;
    }
    return {};
}
