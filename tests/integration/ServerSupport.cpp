#include "ServerSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ldap.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <thread>

namespace testserver {

namespace {

using Clock = std::chrono::steady_clock;

// 389 Directory Server flushes its databases when told to stop: give it time.
constexpr auto kStopLimit = std::chrono::seconds(20);
constexpr auto kPoll = std::chrono::milliseconds(10);

// Keeps the server's pid on its standard output for the caller, then waits for the end of
// its standard input, or for "keep" on it. A non-interactive shell would give a background
// command /dev/null as its input anyway; saying so keeps the pipe out of the server.
std::string GuardianScript(const std::string& logPath, const std::vector<std::string>& leftovers,
                           GuardedServer::Ending ending) {
    std::string script = "\"$@\" </dev/null >>" + ShellQuoted(logPath) +
                         " 2>&1 &\n"
                         "server=$!\n"
                         "echo \"$server\"\n"
                         "exec >/dev/null\n"
                         "read -r order\n"
                         "[ \"$order\" = keep ] && exit 0\n";
    if (ending == GuardedServer::Ending::Terminate)
        script += "kill -TERM \"$server\" 2>/dev/null\n";
    script += "wait \"$server\"\n";
    if (!leftovers.empty()) {
        script += "rm -rf --";
        for (const std::string& path : leftovers) script += " " + ShellQuoted(path);
        script += "\n";
    }
    return script;
}

}  // namespace

std::string MakeFolder(const std::string& pattern) {
    std::string path = (std::filesystem::temp_directory_path() / pattern).string();
    if (mkdtemp(path.data()) == nullptr)
        throw std::runtime_error("cannot create a folder for a test server in " +
                                 std::filesystem::temp_directory_path().string());
    return path;
}

void RemoveFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}

void WriteFile(const std::string& path, const std::string& text, int mode) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) throw std::runtime_error("cannot write " + path);
    }
    if (chmod(path.c_str(), static_cast<mode_t>(mode)) != 0)
        throw std::runtime_error("cannot set the mode of " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ShellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void RunLogged(const std::string& what, const std::string& command, const std::string& logPath) {
    const std::string line = command + " >" + ShellQuoted(logPath) + " 2>&1 </dev/null";
    const int status = std::system(line.c_str());
    if (status != 0)
        throw std::runtime_error(what + " failed (status " + std::to_string(status) +
                                 "), its output:\n" + ReadFile(logPath));
}

bool Answers(const std::string& uri, const std::string& bindDn, const std::string& password) {
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, uri.c_str()) != LDAP_SUCCESS || ld == nullptr) return false;
    const int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    timeval timeout{1, 0};
    ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(ld, LDAP_OPT_TIMEOUT, &timeout);
    int rc = LDAP_SUCCESS;
    if (!bindDn.empty()) {
        berval secret{static_cast<ber_len_t>(password.size()), const_cast<char*>(password.data())};
        rc = ldap_sasl_bind_s(ld, bindDn.c_str(), LDAP_SASL_SIMPLE, &secret, nullptr, nullptr,
                              nullptr);
    }
    if (rc == LDAP_SUCCESS) {
        static const char* const attributes[] = {"namingContexts", nullptr};
        LDAPMessage* result = nullptr;
        rc = ldap_search_ext_s(ld, "", LDAP_SCOPE_BASE, "(objectClass=*)",
                               const_cast<char**>(attributes), 0, nullptr, nullptr, &timeout, 0,
                               &result);
        if (result != nullptr) ldap_msgfree(result);
    }
    ldap_unbind_ext_s(ld, nullptr, nullptr);
    return rc == LDAP_SUCCESS;
}

int BoundSocket(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) throw std::runtime_error("cannot create a socket");
    // As servers do: connections of a server just stopped, waiting out their time, do not
    // keep its port from being free.
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        close(fd);
        throw std::system_error(error, std::generic_category(),
                                "cannot bind 127.0.0.1:" + std::to_string(port));
    }
    port = ntohs(address.sin_port);
    return fd;
}

MachineLock::MachineLock(const std::string& name, std::chrono::seconds limit) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() + 1 >= sizeof address.sun_path)
        throw std::runtime_error("lock name too long: " + name);
    // A leading NUL puts the name in the abstract namespace.
    std::copy(name.begin(), name.end(), address.sun_path + 1);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    const auto deadline = Clock::now() + limit;
    for (;;) {
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ < 0) throw std::runtime_error("cannot create a socket for the lock " + name);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0) return;
        const int error = errno;
        close(fd_);
        fd_ = -1;
        if (error != EADDRINUSE)
            throw std::system_error(error, std::generic_category(), "cannot take the lock " + name);
        if (Clock::now() >= deadline)
            throw std::runtime_error("another process has held the lock " + name + " for " +
                                     std::to_string(limit.count()) + " s");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

MachineLock::~MachineLock() {
    if (fd_ >= 0) close(fd_);
}

GuardedServer::GuardedServer(const std::vector<std::string>& args, const std::string& logPath,
                             const std::vector<std::string>& leftovers, Ending ending) {
    std::vector<std::string> all = {"/bin/sh", "-c", GuardianScript(logPath, leftovers, ending),
                                    "kalvix-test-guardian"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    int control[2];
    int report[2];
    if (pipe2(control, O_CLOEXEC) != 0) throw std::runtime_error("cannot create a pipe");
    if (pipe2(report, O_CLOEXEC) != 0) {
        close(control[0]);
        close(control[1]);
        throw std::runtime_error("cannot create a pipe");
    }
    const pid_t child = fork();
    if (child == 0) {
        // Only async-signal-safe calls until exec. A session of its own: a Ctrl-C meant
        // for the tests reaches the guardian only through the closing pipe.
        setsid();
        dup2(control[0], STDIN_FILENO);
        dup2(report[1], STDOUT_FILENO);
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        if (log >= 0) dup2(log, STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(control[0]);
    close(report[1]);
    if (child < 0) {
        close(control[1]);
        close(report[0]);
        throw std::runtime_error("cannot start a test server: fork failed");
    }
    guardian_ = child;
    pipe_ = control[1];

    std::string line;
    char c = 0;
    ssize_t n = 0;
    while ((n = read(report[0], &c, 1)) == 1 && c != '\n') line += c;
    close(report[0]);
    server_ = line.empty() ? -1 : static_cast<pid_t>(std::atol(line.c_str()));
    if (server_ <= 0) {
        stop();
        throw std::runtime_error("cannot start " + args.front() + ": the guardian did not start");
    }
}

GuardedServer::~GuardedServer() { stop(); }

void GuardedServer::release() {
    if (guardian_ <= 0) return;
    static const char kKeep[] = "keep\n";
    // A guardian that is gone would turn the write into SIGPIPE.
    if (waitpid(guardian_, nullptr, WNOHANG) != 0 ||
        write(pipe_, kKeep, sizeof kKeep - 1) != static_cast<ssize_t>(sizeof kKeep - 1)) {
        stop();
        throw std::runtime_error("cannot reach the guardian of a test server");
    }
    stop();
}

void GuardedServer::stop() {
    if (guardian_ <= 0) return;
    close(pipe_);
    pipe_ = -1;
    const auto deadline = Clock::now() + kStopLimit;
    int status = 0;
    while (waitpid(guardian_, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            if (server_ > 0) kill(server_, SIGKILL);
            waitpid(guardian_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(kPoll);
    }
    guardian_ = -1;
    server_ = -1;
}

bool GuardedServer::running() const {
    if (server_ <= 0) return false;
    const std::string stat = ReadFile("/proc/" + std::to_string(server_) + "/stat");
    const std::size_t end = stat.rfind(") ");
    if (end == std::string::npos || end + 2 >= stat.size()) return false;
    const char state = stat[end + 2];
    return state != 'Z' && state != 'X';
}

}  // namespace testserver
