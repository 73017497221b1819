#include "SlapdServer.h"

#include "ServerSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <thread>

using testserver::Answers;
using testserver::BoundSocket;
using testserver::MakeFolder;
using testserver::ReadFile;
using testserver::RemoveFolder;
using testserver::RunLogged;
using testserver::ShellQuoted;
using testserver::WriteFile;

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kSlapd = "/usr/sbin/slapd";
constexpr const char* kSlaptest = "/usr/sbin/slaptest";
constexpr const char* kSchemaFolder = "/etc/ldap/schema/";
constexpr const char* kModules = "/usr/lib/ldap";
// Errors and start-up messages only; "none" is the level that still shows them.
constexpr const char* kLogLevel = "32768";
constexpr auto kStartLimit = std::chrono::seconds(10);
constexpr auto kStopLimit = std::chrono::seconds(5);
constexpr auto kPoll = std::chrono::milliseconds(5);

struct PortTaken : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

int FreeLoopbackPort() {
    int port = 0;
    close(BoundSocket(port));
    return port;
}

std::string SlapdServer::SchemaPath(const std::string& nameOrPath) {
    return nameOrPath.find('/') == std::string::npos ? kSchemaFolder + nameOrPath + ".schema"
                                                     : nameOrPath;
}

SlapdServer::SlapdServer(Options options)
    : dir_(MakeFolder("kalvix-slapd-XXXXXX")), options_(std::move(options)) {
    try {
        if (access(kSlapd, X_OK) != 0)
            throw std::runtime_error(std::string(kSlapd) +
                                     " is missing: install slapd (scripts/setup-deps does)");
        std::string conf;
        for (const std::string& schema : options_.schemas)
            conf += "include " + Quoted(SchemaPath(schema)) + "\n";
        conf += "pidfile " + Quoted(dir_ + "/slapd.pid") + "\n";
        conf += "argsfile " + Quoted(dir_ + "/slapd.args") + "\n";
        conf += "modulepath " + std::string(kModules) + "\n";
        conf += "moduleload back_mdb\n";
        if (!options_.certificateFile.empty()) {
            conf += "TLSCertificateFile " + Quoted(options_.certificateFile) + "\n";
            conf += "TLSCertificateKeyFile " + Quoted(options_.keyFile) + "\n";
        }
        if (!options_.rootDse.empty()) {
            std::string ldif = "dn:\n";
            for (const auto& [attribute, value] : options_.rootDse)
                ldif += attribute + ": " + value + "\n";
            WriteFile(dir_ + "/rootdse.ldif", ldif);
            conf += "rootDSE " + Quoted(dir_ + "/rootdse.ldif") + "\n";
        }
        if (!options_.configPassword.empty()) {
            conf += "database config\n";
            conf += "rootdn \"cn=config\"\n";
            conf += "rootpw " + Quoted(options_.configPassword) + "\n";
        }
        conf += "database mdb\n";
        conf += "suffix " + Quoted(options_.suffix) + "\n";
        conf += "rootdn " + Quoted(options_.rootDn) + "\n";
        conf += "rootpw " + Quoted(options_.rootPassword) + "\n";
        conf += "directory " + Quoted(dir_ + "/db") + "\n";
        std::filesystem::create_directories(dir_ + "/db");
        WriteFile(dir_ + "/slapd.conf", conf);
        if (!options_.configPassword.empty()) ConvertToConfigFolder();

        // Another process may take the port between asking and binding: try a fresh one.
        for (int attempt = 1;; ++attempt) {
            port_ = FreeLoopbackPort();
            if (!options_.certificateFile.empty()) do
                    tlsPort_ = FreeLoopbackPort();
                while (tlsPort_ == port_);
            try {
                start();
                return;
            } catch (const PortTaken&) {
                if (attempt == 3) throw;
            }
        }
    } catch (...) {
        stop();
        RemoveFolder(dir_);
        throw;
    }
}

SlapdServer::~SlapdServer() {
    stop();
    RemoveFolder(dir_);
}

void SlapdServer::ConvertToConfigFolder() {
    std::filesystem::create_directories(configFolder());
    // slaptest converts, then opens the databases read-only to test them, which fails for
    // an mdb database not made yet: the converted folder is what counts.
    const std::string command = std::string(kSlaptest) + " -f \"" + dir_ + "/slapd.conf\" -F \"" +
                                configFolder() + "\" > \"" + dir_ + "/slaptest.log\" 2>&1";
    const int status = std::system(command.c_str());
    if (status == -1 || !std::filesystem::exists(configFolder() + "/cn=config.ldif"))
        throw std::runtime_error("slaptest cannot convert the configuration: " +
                                 ReadFile(dir_ + "/slaptest.log"));
}

void SlapdServer::start() {
    std::string urls = uri();
    if (tlsPort_ != 0) urls += " " + ldapsUri();
    const std::string conf = dir_ + "/slapd.conf";
    const std::string logPath = dir_ + "/slapd.log";
    const bool folder = !options_.configPassword.empty();
    std::vector<std::string> args = {
        kSlapd, "-d", kLogLevel, folder ? "-F" : "-f", folder ? configFolder() : conf, "-h", urls};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("cannot start slapd: fork failed");
    if (child == 0) {
        // Only async-signal-safe calls until exec.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int none = open("/dev/null", O_RDONLY);
        if (log >= 0) {
            dup2(log, STDOUT_FILENO);
            dup2(log, STDERR_FILENO);
        }
        if (none >= 0) dup2(none, STDIN_FILENO);
        execv(kSlapd, argv.data());
        _exit(127);
    }
    pid_ = child;

    const auto deadline = Clock::now() + kStartLimit;
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            const std::string text = log();
            if (text.find("Address already in use") != std::string::npos) throw PortTaken(text);
            throw std::runtime_error("slapd ended at start (status " + std::to_string(status) +
                                     "), its log:\n" + text);
        }
        if (Answers(uri())) return;
        std::this_thread::sleep_for(kPoll);
    }
    stop();
    throw std::runtime_error("slapd did not answer on " + uri() + " within 10 s, its log:\n" +
                             log());
}

void SlapdServer::stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGINT);
    const auto deadline = Clock::now() + kStopLimit;
    int status = 0;
    while (Clock::now() < deadline) {
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_ || done < 0) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(kPoll);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

void SlapdServer::restart() {
    stop();
    start();
}

std::string SlapdServer::uri() const { return "ldap://127.0.0.1:" + std::to_string(port_) + "/"; }

std::string SlapdServer::ldapsUri() const {
    return "ldaps://127.0.0.1:" + std::to_string(tlsPort_) + "/";
}

std::string SlapdServer::log() const { return ReadFile(dir_ + "/slapd.log"); }

TestCertificate MakeSelfSignedCertificate(const std::string& folder, const std::string& name) {
    TestCertificate c{folder + "/" + name + ".pem", folder + "/" + name + ".key"};
    const std::string log = folder + "/" + name + ".openssl.log";
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
        "-subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
        c.keyFile + "' -out '" + c.certificateFile + "' >'" + log + "' 2>&1 </dev/null";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("openssl could not make a test certificate:\n" + ReadFile(log));
    return c;
}

TestAuthority MakeCaSignedCertificate(const std::string& folder, const std::string& name) {
    TestAuthority a{folder + "/" + name + "-ca.pem",
                    {folder + "/" + name + ".pem", folder + "/" + name + ".key"}};
    const std::string caKey = folder + "/" + name + "-ca.key";
    const std::string request = folder + "/" + name + ".csr";
    const std::string extensions = folder + "/" + name + ".ext";
    const std::string log = folder + "/" + name + ".openssl.log";
    WriteFile(extensions,
              "basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\n"
              "extendedKeyUsage=serverAuth\nsubjectAltName=IP:127.0.0.1\n",
              0600);
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";
    RunLogged("openssl (test CA)",
              "openssl req -x509" + ec + "-days 2 -subj '/CN=Kalvix Test CA' " +
                  "-addext basicConstraints=critical,CA:TRUE " +
                  "-addext keyUsage=critical,keyCertSign,cRLSign -keyout " + ShellQuoted(caKey) +
                  " -out " + ShellQuoted(a.caFile),
              log);
    RunLogged("openssl (server request)",
              "openssl req" + ec + "-subj /CN=127.0.0.1 -keyout " + ShellQuoted(a.server.keyFile) +
                  " -out " + ShellQuoted(request),
              log);
    RunLogged("openssl (server certificate)",
              "openssl x509 -req -days 2 -in " + ShellQuoted(request) + " -CA " +
                  ShellQuoted(a.caFile) + " -CAkey " + ShellQuoted(caKey) +
                  " -CAcreateserial -extfile " + ShellQuoted(extensions) + " -out " +
                  ShellQuoted(a.server.certificateFile),
              log);
    return a;
}
