#include "DirsrvServer.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

using namespace testserver;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kDscreate = "/usr/sbin/dscreate";
constexpr const char* kServer = "/usr/sbin/ns-slapd";
constexpr const char* kLibDir = "/usr/lib/x86_64-linux-gnu";
constexpr const char* kPassword = "Kalvix-389-Test";
constexpr auto kCreateLimit = std::chrono::seconds(120);
constexpr auto kStartLimit = std::chrono::seconds(30);
constexpr auto kPoll = std::chrono::milliseconds(50);

std::string UserName() {
    const passwd* user = getpwuid(geteuid());
    if (user == nullptr) throw std::runtime_error("the current user has no name");
    return user->pw_name;
}

std::string GroupName() {
    const group* g = getgrgid(getegid());
    if (g == nullptr) throw std::runtime_error("the current group has no name");
    return g->gr_name;
}

// Free now, and outside the range the kernel hands out for outgoing connections, so only
// another test server choosing the same number can take it before the server binds it.
int FreeListeningPort(int other = 0) {
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<int> range(20000, 31999);
    for (int attempt = 0; attempt < 100; ++attempt) {
        int port = range(random);
        if (port == other) continue;
        try {
            close(BoundSocket(port));
            return port;
        } catch (const std::system_error&) {
        }
    }
    throw std::runtime_error("no free port on 127.0.0.1 between 20000 and 31999");
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    return text;
}

// dscreate finds every path through defaults.inf below PREFIX: point them all into the
// private root, except the programs and plugins, which stay where Debian puts them.
void RewriteDefaults(const std::string& path, const std::string& root) {
    const std::map<std::string, std::string> fixed = {
        {"with_systemd", "0"},
        {"with_selinux", "no"},
        {"prefix", root},
        {"bin_dir", "/usr/bin"},
        {"sbin_dir", "/usr/sbin"},
        {"lib_dir", kLibDir},
        {"data_dir", root + "/share"},
        {"inst_dir", root + "/lib/dirsrv/slapd-{instance_name}"},
        {"plugin_dir", std::string(kLibDir) + "/dirsrv/plugins"},
        {"system_schema_dir", root + "/share/dirsrv/schema"},
        {"user", UserName()},
        {"group", GroupName()},
    };
    std::vector<std::string> lines = Lines(ReadFile(path));
    if (lines.empty()) throw std::runtime_error("cannot read " + path);
    for (std::string& line : lines) {
        const std::size_t equals = line.find(" = ");
        if (equals == std::string::npos || line[0] == ';' || line[0] == '#') continue;
        const auto it = fixed.find(line.substr(0, equals));
        if (it != fixed.end()) {
            line = it->first + " = " + it->second;
        } else if (const std::size_t slash = line.find(" /"); slash != std::string::npos) {
            line.insert(slash + 1, root);
        }
    }
    WriteFile(path, Joined(lines));
}

// Loopback only from the very first start.
void ListenOnLoopback(const std::string& templatePath) {
    std::vector<std::string> lines = Lines(ReadFile(templatePath));
    std::vector<std::string> out;
    bool found = false;
    for (const std::string& line : lines) {
        out.push_back(line);
        if (line == "nsslapd-port: %ds_port%") {
            out.push_back("nsslapd-listenhost: 127.0.0.1");
            out.push_back("nsslapd-securelistenhost: 127.0.0.1");
            found = true;
        }
    }
    if (!found) throw std::runtime_error(templatePath + " has no nsslapd-port line to follow");
    WriteFile(templatePath, Joined(out));
}

std::string NewInstanceName() {
    static std::atomic<int> counter{0};
    return "kalvix" + std::to_string(getpid()) + "n" + std::to_string(++counter);
}

}  // namespace

DirsrvServer::DirsrvServer()
    : dir_(MakeFolder("kalvix-389-XXXXXX")), root_(dir_ + "/root"), instance_(NewInstanceName()) {
    try {
        for (const char* program : {kDscreate, kServer, "/usr/bin/certutil", "/usr/bin/pk12util"})
            if (access(program, X_OK) != 0)
                throw std::runtime_error(std::string(program) +
                                         " is missing: install 389-ds-base (scripts/setup-deps "
                                         "does)");
        passwordFile_ = dir_ + "/root.pw";
        WriteFile(passwordFile_, kPassword, 0600);
        tls_ = MakeCaSignedCertificate(dir_, "server");
        prepareRoot();
        create();
        start();
    } catch (...) {
        stop();
        throw;
    }
}

DirsrvServer::~DirsrvServer() { stop(); }

void DirsrvServer::prepareRoot() {
    fs::create_directories(root_ + "/share");
    fs::create_directories(root_ + "/etc/dirsrv");
    fs::copy("/usr/share/dirsrv", root_ + "/share/dirsrv", fs::copy_options::recursive);
    fs::copy("/etc/dirsrv/config", root_ + "/etc/dirsrv/config", fs::copy_options::recursive);
    fs::copy("/etc/dirsrv/schema", root_ + "/etc/dirsrv/schema", fs::copy_options::recursive);
    RewriteDefaults(root_ + "/share/dirsrv/inf/defaults.inf", root_);
    ListenOnLoopback(root_ + "/share/dirsrv/data/template-dse.ldif");
}

void DirsrvServer::create() {
    port_ = FreeListeningPort();
    tlsPort_ = FreeListeningPort(port_);
    // Created stopped: the test's certificate goes in before the first start of our own.
    const std::string inf = dir_ + "/instance.inf";
    WriteFile(inf,
              "[general]\n"
              "config_version = 2\n"
              "full_machine_name = localhost\n"
              "strict_host_checking = False\n"
              "selinux = False\n"
              "systemd = False\n"
              "start = False\n"
              "[slapd]\n"
              "instance_name = " +
                  instance_ + "\nuser = " + UserName() + "\ngroup = " + GroupName() +
                  "\nport = " + std::to_string(port_) +
                  "\nsecure_port = " + std::to_string(tlsPort_) + "\nroot_password = " + kPassword +
                  "\n"
                  "self_sign_cert = True\n"
                  "[backend-userroot]\n"
                  "suffix = " +
                  suffix() + "\ncreate_suffix_entry = True\n",
              0600);
    const std::string status = dir_ + "/dscreate.status";
    const std::string log = dir_ + "/dscreate.log";
    GuardedServer creation({"/bin/sh", "-c",
                            "PREFIX=" + ShellQuoted(root_) + " " + kDscreate + " from-file " +
                                ShellQuoted(inf) + "; echo $? >" + ShellQuoted(status)},
                           log, {dir_, semaphore()}, GuardedServer::Ending::LetFinish);
    const auto deadline = Clock::now() + kCreateLimit;
    while (creation.running()) {
        if (Clock::now() >= deadline)
            throw std::runtime_error("dscreate did not finish within 120 s, its output:\n" +
                                     ReadFile(log));
        std::this_thread::sleep_for(kPoll);
    }
    if (ReadFile(status) != "0\n")
        throw std::runtime_error("dscreate failed (status " + ReadFile(status) +
                                 "), its output:\n" + ReadFile(log));
    installCertificate();
    creation.release();
}

// The self-signed certificate of dscreate names only DNS:localhost, which libldap refuses
// for 127.0.0.1: the server's key and certificate become the test CA's, under the same
// nickname, so the TLS settings dscreate wrote stay as they are.
void DirsrvServer::installCertificate() {
    const std::string db = root_ + "/etc/dirsrv/slapd-" + instance_;
    const std::string pin = ShellQuoted(db + "/pwdfile.txt");
    const std::string bundle = dir_ + "/server.p12";
    const std::string log = dir_ + "/certificates.log";
    RunLogged("certutil (CA)",
              "certutil -A -d " + ShellQuoted(db) + " -f " + pin +
                  " -n 'Kalvix Test CA' -t CT,, -a -i " + ShellQuoted(tls_.caFile),
              log);
    RunLogged("openssl (server bundle)",
              "openssl pkcs12 -export -name Server-Cert -passout pass:kalvix -in " +
                  ShellQuoted(tls_.server.certificateFile) + " -inkey " +
                  ShellQuoted(tls_.server.keyFile) + " -out " + ShellQuoted(bundle),
              log);
    RunLogged("certutil (old server certificate)",
              "certutil -D -d " + ShellQuoted(db) + " -f " + pin + " -n Server-Cert", log);
    RunLogged(
        "pk12util",
        "pk12util -d " + ShellQuoted(db) + " -k " + pin + " -W kalvix -i " + ShellQuoted(bundle),
        log);
}

void DirsrvServer::start() {
    const std::string configDir = root_ + "/etc/dirsrv/slapd-" + instance_;
    process_ = std::make_unique<GuardedServer>(
        std::vector<std::string>{kServer, "-D", configDir, "-i",
                                 root_ + "/run/dirsrv/slapd-" + instance_ + ".pid", "-d", "0"},
        dir_ + "/ns-slapd.out", std::vector<std::string>{dir_, semaphore()});
    const auto deadline = Clock::now() + kStartLimit;
    while (Clock::now() < deadline) {
        if (Answers(uri())) return;
        if (!process_->running())
            throw std::runtime_error("389 Directory Server ended at start, its error log:\n" +
                                     errorLog());
        std::this_thread::sleep_for(kPoll);
    }
    throw std::runtime_error("389 Directory Server did not answer on " + uri() +
                             " within 30 s, its error log:\n" + errorLog());
}

void DirsrvServer::stop() {
    if (process_) {
        process_->stop();
        process_.reset();
    } else if (!dir_.empty()) {
        // dscreate starts and stops the server itself; one it left running goes now.
        const std::string pidText = ReadFile(root_ + "/run/dirsrv/slapd-" + instance_ + ".pid");
        const pid_t stray = static_cast<pid_t>(std::atol(pidText.c_str()));
        if (stray > 0 &&
            ReadFile("/proc/" + std::to_string(stray) + "/cmdline").find("slapd-" + instance_) !=
                std::string::npos) {
            kill(stray, SIGTERM);
            for (int i = 0; i < 200 && kill(stray, 0) == 0; ++i) std::this_thread::sleep_for(kPoll);
        }
    }
    if (!dir_.empty()) {
        RemoveFolder(dir_);
        std::error_code ec;
        fs::remove(semaphore(), ec);
    }
}

std::string DirsrvServer::uri() const { return "ldap://127.0.0.1:" + std::to_string(port_) + "/"; }

std::string DirsrvServer::ldapsUri() const {
    return "ldaps://127.0.0.1:" + std::to_string(tlsPort_) + "/";
}

std::string DirsrvServer::semaphore() const { return "/dev/shm/sem.slapd-" + instance_ + ".stats"; }

std::string DirsrvServer::errorLog() const {
    return ReadFile(root_ + "/var/log/dirsrv/slapd-" + instance_ + "/errors") +
           ReadFile(dir_ + "/ns-slapd.out");
}
