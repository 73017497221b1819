#include "SambaDcServer.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <thread>

using namespace testserver;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kSamba = "/usr/sbin/samba";
constexpr const char* kSambaTool = "/usr/bin/samba-tool";
// Upper case, lower case and digits, as the domain's password policy wants.
constexpr const char* kPassword = "Kalvix-AD-Test-1";
constexpr auto kStartLimit = std::chrono::seconds(30);
constexpr auto kPoll = std::chrono::milliseconds(50);

constexpr auto kLockLimit = std::chrono::seconds(180);
// A server of another test run may still be stopping when the lock passes on.
constexpr auto kPortLimit = std::chrono::seconds(10);

// Each port AD's LDAP server opens must be free on 127.0.0.1, or it would run half-way.
void WaitForFreePorts() {
    const auto deadline = Clock::now() + kPortLimit;
    for (int port : {389, 636, 3268, 3269}) {
        for (;;) {
            try {
                int p = port;
                close(BoundSocket(p));
                break;
            } catch (const std::system_error& e) {
                if (e.code() == std::errc::permission_denied)
                    throw std::runtime_error(
                        "AD's LDAP ports (389, 636, 3268, 3269) need root to listen on: " +
                        std::string(e.what()));
                if (Clock::now() >= deadline)
                    throw std::runtime_error(
                        "port " + std::to_string(port) +
                        " on 127.0.0.1 is taken (another domain controller or LDAP server?): " +
                        e.what());
                std::this_thread::sleep_for(kPoll);
            }
        }
    }
}

}  // namespace

SambaDcServer::SambaDcServer()
    : ports_(std::make_unique<MachineLock>("kalvix-test-samba-ad-ports", kLockLimit)),
      dir_(MakeFolder("kalvix-ad-XXXXXX")) {
    try {
        for (const char* program : {kSamba, kSambaTool})
            if (access(program, X_OK) != 0)
                throw std::runtime_error(std::string(program) +
                                         " is missing: install samba-ad-dc and samba-ad-provision "
                                         "(scripts/setup-deps does)");
        WaitForFreePorts();
        passwordFile_ = dir_ + "/administrator.pw";
        WriteFile(passwordFile_, kPassword, 0600);
        tls_ = MakeCaSignedCertificate(dir_, "server");
        provision();
        start();
    } catch (...) {
        stop();
        throw;
    }
}

SambaDcServer::~SambaDcServer() { stop(); }

void SambaDcServer::provision() {
    for (const char* sub : {"/dc", "/log", "/run"}) fs::create_directories(dir_ + sub);
    const auto option = [](const std::string& setting) {
        return " --option=" + ShellQuoted(setting);
    };
    std::string command = std::string(kSambaTool) +
                          " domain provision --targetdir=" + ShellQuoted(dir_ + "/dc") +
                          " --realm=KALVIX.TEST --domain=KALVIX --server-role=dc"
                          " --dns-backend=NONE --use-rfc2307 --host-ip=127.0.0.1 --adminpass=" +
                          kPassword;
    command += option("interfaces = 127.0.0.1") + option("bind interfaces only = yes") +
               option("server services = ldap") + option("tls keyfile = " + tls_.server.keyFile) +
               option("tls certfile = " + tls_.server.certificateFile) +
               option("tls cafile = " + tls_.caFile) +
               option("log file = " + dir_ + "/log/log.%m") +
               option("pid directory = " + dir_ + "/run") +
               option("ncalrpc dir = " + dir_ + "/run/ncalrpc") +
               option("winbindd socket directory = " + dir_ + "/run/winbindd") +
               option("ntp signd socket directory = " + dir_ + "/run/ntp_signd");
    RunLogged("samba-tool domain provision", command, dir_ + "/provision.log");

    // Provision leaves out two settings: a simple bind over plain ldap://, and schema
    // changes.
    const std::string conf = dir_ + "/dc/etc/smb.conf";
    std::string text = ReadFile(conf);
    const std::string global = "[global]\n";
    const std::size_t at = text.find(global);
    if (at == std::string::npos) throw std::runtime_error(conf + " has no [global] section");
    text.insert(at + global.size(),
                "\tldap server require strong auth = no\n"
                "\tdsdb:schema update allowed = true\n");
    WriteFile(conf, text);
}

void SambaDcServer::start() {
    process_ = std::make_unique<GuardedServer>(
        std::vector<std::string>{kSamba, "-s", dir_ + "/dc/etc/smb.conf", "-l", dir_ + "/log", "-F",
                                 "-M", "single"},
        dir_ + "/log/samba.out", std::vector<std::string>{dir_});
    const auto deadline = Clock::now() + kStartLimit;
    while (Clock::now() < deadline) {
        if (Answers(uri())) return;
        if (!process_->running())
            throw std::runtime_error("samba ended at start, its log:\n" + log());
        std::this_thread::sleep_for(kPoll);
    }
    throw std::runtime_error("samba did not answer on " + uri() + " within 30 s, its log:\n" +
                             log());
}

void SambaDcServer::stop() {
    if (process_) {
        process_->stop();
        process_.reset();
    }
    if (!dir_.empty()) RemoveFolder(dir_);
    ports_.reset();
}

std::string SambaDcServer::log() const {
    return ReadFile(dir_ + "/log/samba.out") + ReadFile(dir_ + "/log/log.samba");
}
