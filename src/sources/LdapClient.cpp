#include "sources/LdapClient.h"

#include "sources/ClosestWord.h"

#include <arpa/inet.h>
#include <ldap.h>
#include <netdb.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/time.h>

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/D_Util.h"
#include "core/RegularFile.h"
#include "sources/LdapSchema.h"
#include "sources/SchemaFileTree.h"

namespace {

constexpr std::size_t kMaxPasswordFile = 64 * 1024;
constexpr double kMaxTimeout = 3600;
constexpr const char* kDefaultSubschema = "cn=Subschema";

struct Failure {
    DirCode code = 0;
    std::string message;
    std::string toDo = {};  // advice of its own; empty: the advice for its code
};

// The host of an address, when it is a name rather than a number; empty otherwise.
std::string HostName(const std::string& uri) {
    LDAPURLDesc* url = nullptr;
    if (ldap_url_parse(uri.c_str(), &url) != LDAP_URL_SUCCESS || url == nullptr) return {};
    std::string host = url->lud_host != nullptr ? url->lud_host : "";
    ldap_free_urldesc(url);
    in6_addr numeric{};
    if (host.empty() || inet_pton(AF_INET, host.c_str(), &numeric) == 1 ||
        inet_pton(AF_INET6, host.c_str(), &numeric) == 1)
        return {};
    return host;
}

// Why a host name does not resolve, in the resolver's words; empty when it does.
std::string WhyNotResolved(const std::string& host) {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (found != nullptr) freeaddrinfo(found);
    if (rc == 0 || rc == EAI_SYSTEM || rc == EAI_MEMORY) return {};
    return gai_strerror(rc);
}

bool IsConnectionLoss(int rc) { return rc == LDAP_SERVER_DOWN || rc == LDAP_CONNECT_ERROR; }
bool IsTimeout(int rc) { return rc == LDAP_TIMEOUT || rc == LDAP_TIMELIMIT_EXCEEDED; }

DirCode CodeFor(int rc) {
    if (IsConnectionLoss(rc)) return ldapcode::kUnreachable;
    if (IsTimeout(rc)) return ldapcode::kTimedOut;
    switch (rc) {
        case LDAP_INVALID_CREDENTIALS:
        case LDAP_INAPPROPRIATE_AUTH:
        case LDAP_AUTH_UNKNOWN:
        case LDAP_INVALID_DN_SYNTAX:
            return ldapcode::kBindRefused;
        case LDAP_INSUFFICIENT_ACCESS:
        case LDAP_UNWILLING_TO_PERFORM:
        case LDAP_STRONG_AUTH_REQUIRED:
        case LDAP_CONFIDENTIALITY_REQUIRED:
            return ldapcode::kNoAccess;
        case LDAP_NO_SUCH_OBJECT:
            return ldapcode::kNoSubschema;
        default:
            return ldapcode::kLdapError;
    }
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

timeval Timeval(double seconds) {
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(std::floor(seconds));
    tv.tv_usec = static_cast<suseconds_t>((seconds - std::floor(seconds)) * 1e6);
    return tv;
}

std::string Trimmed(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\n' || s.back() == '\r')) s.pop_back();
    std::size_t start = 0;
    while (start < s.size() && s[start] == ' ') ++start;
    return s.substr(start);
}

// A server that drops the connection must not end the program: a write to a socket the
// peer closed raises SIGPIPE, whose default action ends the process.
void IgnoreBrokenPipes() {
    struct sigaction current {};
    if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
        std::signal(SIGPIPE, SIG_IGN);
}

// The password as the file holds it, without the line end that ends it. Like ssh with a
// private key, a file its group or others may read is refused: the password is no secret.
bool ReadPassword(const std::string& path, std::string& password, std::string& error) {
    RegularFile file(path);  // never blocks, even on a FIFO
    if (!file.ok()) {
        error = "the password file \"" + path + "\" cannot be read (" + file.reason() + ")";
        return false;
    }
    struct stat st;
    if (::fstat(file.fd(), &st) != 0) {
        error = "the password file \"" + path + "\" cannot be read (" + std::strerror(errno) + ")";
        return false;
    }
    if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        error = std::string("permissions ") + mode + " for the password file \"" + path +
                "\" are too open; run chmod 600 " + path;
        return false;
    }
    std::string why;
    const bool read = file.readAll(password, kMaxPasswordFile, why);
    if (!read) {
        const bool tooLarge = password.size() > kMaxPasswordFile;
        explicit_bzero(password.data(), password.size());
        password.clear();
        error = "the password file \"" + path + "\" " +
                (tooLarge ? std::string("is larger than 64 KiB") : "cannot be read (" + why + ")");
        return false;
    }
    if (!password.empty() && password.back() == '\n') password.pop_back();
    if (!password.empty() && password.back() == '\r') password.pop_back();
    if (password.empty()) {
        error = "the password file \"" + path + "\" is empty";
        return false;
    }
    return true;
}

// libldap reads ldap.conf, ~/.ldaprc, ~/ldaprc and ./ldaprc (and LDAP* variables) once, when
// it first starts; any of them can turn certificate checks off. A working folder someone
// else can write to would be enough. LDAPNOINIT stops all of it; it is set only for that
// moment, so programs started later see the environment as it was.
void StartLibldapWithoutItsConfiguration() {
    static std::once_flag once;
    std::call_once(once, [] {
        const bool had = std::getenv("LDAPNOINIT") != nullptr;
        if (!had) ::setenv("LDAPNOINIT", "1", 1);
        int version = 0;
        ldap_get_option(nullptr, LDAP_OPT_PROTOCOL_VERSION, &version);  // starts libldap
        if (!had) ::unsetenv("LDAPNOINIT");
    });
}

// The system's trust store as Debian keeps it (ca-certificates).
constexpr const char* kSystemTrustStore = "/etc/ssl/certs/ca-certificates.crt";

// A loopback address or a local socket: a password sent there stays on this machine.
bool StaysOnThisMachine(const std::string& uri) {
    LDAPURLDesc* url = nullptr;
    if (ldap_url_parse(uri.c_str(), &url) != LDAP_URL_SUCCESS || url == nullptr) return false;
    const std::string scheme = url->lud_scheme != nullptr ? url->lud_scheme : "";
    const std::string host = url->lud_host != nullptr ? url->lud_host : "";
    ldap_free_urldesc(url);
    if (scheme == "ldapi") return true;
    if (host.empty() || host == "localhost" || host == "::1" || host == "[::1]") return true;
    in_addr v4{};
    return ::inet_pton(AF_INET, host.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
}

// Bytes a server sent, shown safely: printable ASCII as it is, anything else as \xNN.
std::string Quoted(const std::string& bytes) {
    std::string out = "\"";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
            out += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
            out += hex;
        }
    }
    return out + "\"";
}

std::string Size(std::size_t bytes) {
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    return bytes % kMiB == 0 ? std::to_string(bytes / kMiB) + " MiB"
                             : std::to_string(bytes) + " bytes";
}

// What one connection lets a server do, enforced below libldap in the connection's socket
// buffer, whatever libldap does: its timeouts miss a TLS handshake with a silent server (it
// spins on a non-blocking read for ever), and it allocates whatever length a message
// announces. The socket layer waits for the socket only until the deadline; the message
// layer, above TLS, refuses what is not LDAP and what would take the answers over the limit.
class Watch {
  public:
    enum class Refusal { None, NotLdap, TooLarge };

    explicit Watch(std::size_t limit) : limit_(limit) {}
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    // For LDAP_OPT_CONNECT_CB: puts both layers on the socket once it is connected.
    ldap_conncb* hook() { return &hook_; }
    void startPhase(double seconds) {
        deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(seconds));
    }
    bool passed() const { return Clock::now() >= deadline_; }
    double secondsLeft() const {
        return std::max(0.0, std::chrono::duration<double>(deadline_ - Clock::now()).count());
    }
    bool socketOpen() const { return socketOpen_; }
    // Keeps the first bytes the server sends from now on, as they arrive on the socket.
    void captureRaw() {
        rawHead_.clear();
        capturing_ = true;
    }
    // Bytes captured that cannot begin a TLS record (types 20 to 23).
    bool sentOtherThanTls() const {
        const auto type = static_cast<unsigned char>(rawHead_.empty() ? 0x16 : rawHead_[0]);
        return type < 0x14 || type > 0x17;
    }
    const std::string& rawHead() const { return rawHead_; }
    Refusal refusal() const { return refusal_; }
    const std::string& offending() const { return offending_; }
    std::size_t limit() const { return limit_; }
    // Part of a message has come and the rest has not.
    bool midMessage() const { return at_ != At::Tag; }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kShownBytes = 16;

    static Watch& Of(Sockbuf_IO_Desc* d) { return *static_cast<Watch*>(d->sbiod_pvt); }
    static int Add(LDAP*, Sockbuf* sb, LDAPURLDesc*, sockaddr*, ldap_conncb* hook);
    static void Remove(LDAP*, Sockbuf*, ldap_conncb*) {}
    static int Setup(Sockbuf_IO_Desc* d, void* watch) {
        d->sbiod_pvt = watch;
        return 0;
    }
    static int Control(Sockbuf_IO_Desc* d, int option, void* arg) {
        return LBER_SBIOD_CTRL_NEXT(d, option, arg);
    }
    static ber_slen_t SocketRead(Sockbuf_IO_Desc* d, void* buffer, ber_len_t length);
    static ber_slen_t SocketWrite(Sockbuf_IO_Desc* d, void* buffer, ber_len_t length);
    static ber_slen_t MessageRead(Sockbuf_IO_Desc* d, void* buffer, ber_len_t length);
    static ber_slen_t MessageWrite(Sockbuf_IO_Desc* d, void* buffer, ber_len_t length) {
        return LBER_SBIOD_WRITE_NEXT(d, buffer, length);
    }
    bool awaitSocket(Sockbuf_IO_Desc* d, short events);
    bool inspect(const unsigned char* bytes, std::size_t count);
    bool refuse(Refusal why, const unsigned char* bytes, std::size_t count);

    static inline Sockbuf_IO socketIo_{Setup, nullptr, Control, SocketRead, SocketWrite, nullptr};
    static inline Sockbuf_IO messageIo_{Setup,       nullptr,      Control,
                                        MessageRead, MessageWrite, nullptr};

    ldap_conncb hook_{Add, Remove, this};
    Clock::time_point deadline_ = Clock::time_point::max();
    bool socketOpen_ = false;
    bool capturing_ = false;
    std::string rawHead_;
    const std::size_t limit_;
    std::size_t received_ = 0;  // message bytes, headers included
    // Where the message layer is in the stream: a tag, a length's first byte, the rest of a
    // long length, or contents.
    enum class At { Tag, Length, LongLength, Contents } at_ = At::Tag;
    int lengthBytesLeft_ = 0;
    std::uint64_t length_ = 0;
    std::uint64_t contentsLeft_ = 0;
    Refusal refusal_ = Refusal::None;
    std::string offending_;
};

int Watch::Add(LDAP*, Sockbuf* sb, LDAPURLDesc*, sockaddr*, ldap_conncb* hook) {
    Watch& watch = *static_cast<Watch*>(hook->lc_arg);
    // The socket layer below TLS (which libldap adds later at its own level), the message
    // layer above it.
    if (ber_sockbuf_add_io(sb, &socketIo_, LBER_SBIOD_LEVEL_TRANSPORT - 1, &watch) != 0 ||
        ber_sockbuf_add_io(sb, &messageIo_, LBER_SBIOD_LEVEL_APPLICATION, &watch) != 0)
        return -1;
    watch.socketOpen_ = true;
    return 0;
}

// Waits until the socket is ready or the deadline has passed (false, ETIMEDOUT).
bool Watch::awaitSocket(Sockbuf_IO_Desc* d, short events) {
    if (events == POLLIN && LBER_SBIOD_CTRL_NEXT(d, LBER_SB_OPT_DATA_READY, nullptr) == 1)
        return true;
    ber_socket_t fd = -1;
    ber_sockbuf_ctrl(d->sbiod_sb, LBER_SB_OPT_GET_FD, &fd);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
        if (left <= 0) {
            errno = ETIMEDOUT;
            return false;
        }
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, INT_MAX)));
        // Ready, hung up or failed: the read or write itself tells libldap which.
        if (ready > 0 || (ready < 0 && errno != EINTR)) return true;
    }
}

ber_slen_t Watch::SocketRead(Sockbuf_IO_Desc* d, void* buffer, ber_len_t length) {
    Watch& watch = Of(d);
    if (!watch.awaitSocket(d, POLLIN)) return -1;
    const ber_slen_t n = LBER_SBIOD_READ_NEXT(d, buffer, length);
    if (n > 0 && watch.capturing_ && watch.rawHead_.size() < kShownBytes)
        watch.rawHead_.append(static_cast<const char*>(buffer),
                              std::min<std::size_t>(n, kShownBytes - watch.rawHead_.size()));
    return n;
}

ber_slen_t Watch::SocketWrite(Sockbuf_IO_Desc* d, void* buffer, ber_len_t length) {
    if (!Of(d).awaitSocket(d, POLLOUT)) return -1;
    return LBER_SBIOD_WRITE_NEXT(d, buffer, length);
}

ber_slen_t Watch::MessageRead(Sockbuf_IO_Desc* d, void* buffer, ber_len_t length) {
    Watch& watch = Of(d);
    if (watch.refusal_ != Refusal::None) {
        errno = EPROTO;
        return -1;
    }
    const ber_slen_t n = LBER_SBIOD_READ_NEXT(d, buffer, length);
    if (n > 0 && !watch.inspect(static_cast<const unsigned char*>(buffer), n)) {
        errno = EPROTO;
        return -1;
    }
    return n;
}

bool Watch::refuse(Refusal why, const unsigned char* bytes, std::size_t count) {
    refusal_ = why;
    offending_.assign(reinterpret_cast<const char*>(bytes), std::min(count, kShownBytes));
    return false;
}

// Follows the stream message by message: each LDAP message is a SEQUENCE of definite
// length, and no length may take the bytes received past the limit, so libldap never
// allocates more than the limit for what a server announces.
bool Watch::inspect(const unsigned char* bytes, std::size_t count) {
    std::size_t i = 0;
    while (i < count) {
        if (at_ == At::Contents) {
            const std::size_t take =
                static_cast<std::size_t>(std::min<std::uint64_t>(contentsLeft_, count - i));
            contentsLeft_ -= take;
            received_ += take;
            i += take;
            if (contentsLeft_ == 0) at_ = At::Tag;
            continue;
        }
        const unsigned char byte = bytes[i];
        bool lengthKnown = false;
        switch (at_) {
            case At::Tag:
                if (byte != 0x30) return refuse(Refusal::NotLdap, bytes + i, count - i);
                at_ = At::Length;
                break;
            case At::Length:
                // Indefinite lengths are not LDAP; nine length bytes or more are nothing.
                if (byte == 0x80 || byte > 0x88)
                    return refuse(Refusal::NotLdap, bytes + i, count - i);
                length_ = byte & 0x7F;
                lengthBytesLeft_ = (byte & 0x80) != 0 ? byte & 0x7F : 0;
                lengthKnown = lengthBytesLeft_ == 0;
                if (!lengthKnown) {
                    length_ = 0;
                    at_ = At::LongLength;
                }
                break;
            default:
                length_ = length_ << 8 | byte;
                lengthKnown = --lengthBytesLeft_ == 0;
                break;
        }
        ++received_;
        ++i;
        if (!lengthKnown) continue;
        if (received_ > limit_ || length_ > limit_ - received_)
            return refuse(Refusal::TooLarge, bytes + i, count - i);
        contentsLeft_ = length_;
        at_ = length_ == 0 ? At::Tag : At::Contents;
    }
    return true;
}

using Message = std::unique_ptr<LDAPMessage, int (*)(LDAPMessage*)>;

// One connection for one read: opened, bound, read and closed again. Connecting (with the
// TLS handshake, StartTLS and the bind) has its deadline, and so has each read.
class Connection {
  public:
    explicit Connection(const LdapSettings& settings)
        : settings_(settings), watch_(settings.readLimit) {}
    ~Connection() {
        if (ld_ != nullptr) ldap_unbind_ext_s(ld_, nullptr, nullptr);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    Failure open();
    Failure readRootDse(LdapRootDse& dse);
    Failure readSubschema(const std::string& dn, SchemaDefinitions& definitions);

  private:
    // waitedFor names the step in a timeout's text when it is not step itself.
    Failure failure(int rc, const std::string& step, const std::string& waitedFor = {});
    std::string diagnostic();
    int resultCode();
    // Whether the address's port answers an anonymous bind over plain LDAP.
    bool SpeaksPlainLdap() const;
    int await(int msgid, int all, Message& message);
    int answer(int msgid);
    std::vector<std::string> values(LDAPMessage* entry, const char* attribute);
    Failure readEntry(const std::string& base, const char* filter, const char* const* attributes,
                      const std::string& step, Message& entry, int& rc);

    const LdapSettings& settings_;
    Watch watch_;  // outlives ld_, whose socket buffer points to it
    LDAP* ld_ = nullptr;
};

std::string Connection::diagnostic() {
    char* text = nullptr;
    if (ldap_get_option(ld_, LDAP_OPT_DIAGNOSTIC_MESSAGE, &text) != LDAP_OPT_SUCCESS ||
        text == nullptr)
        return {};
    std::string diagnostic = Trimmed(text);
    ldap_memfree(text);
    return diagnostic;
}

bool Connection::SpeaksPlainLdap() const {
    LdapSettings plain = settings_;
    plain.uri = "ldap" + settings_.uri.substr(5);  // "ldaps" -> "ldap"
    plain.startTls = false;
    plain.bindDn.clear();
    plain.timeoutSeconds = std::min(settings_.timeoutSeconds, 3.0);
    Connection probe(plain);
    return probe.open().code == 0;
}

int Connection::resultCode() {
    int rc = LDAP_OTHER;
    ldap_get_option(ld_, LDAP_OPT_RESULT_CODE, &rc);
    return rc;
}

Failure Connection::failure(int rc, const std::string& step, const std::string& waitedFor) {
    const std::string& uri = settings_.uri;
    switch (watch_.refusal()) {
        case Watch::Refusal::NotLdap:
            return {ldapcode::kUnreachable,
                    uri + ": the server answered with something that is not LDAP: " +
                        Quoted(watch_.offending())};
        case Watch::Refusal::TooLarge:
            return {ldapcode::kLdapError, uri + ": " + step + ": the server's answer exceeds " +
                                              Size(watch_.limit()) +
                                              ", the most a schema read may take"};
        case Watch::Refusal::None:
            break;
    }
    const bool tls = settings_.startTls || uri.rfind("ldaps:", 0) == 0;
    if (tls && IsConnectionLoss(rc) && watch_.sentOtherThanTls())
        return {ldapcode::kUnreachable, uri +
                                            ": the server answered with something that is not "
                                            "TLS: " +
                                            Quoted(watch_.rawHead())};
    // A connection lost past the deadline was taken from under libldap: the step timed out,
    // and what libldap says about the socket would only mislead.
    const bool late = watch_.passed() && IsConnectionLoss(rc);
    if (late) rc = LDAP_TIMEOUT;
    // libldap calls every lost connection "Can't contact LDAP server", also one the server
    // closed after it had begun to answer.
    if (IsConnectionLoss(rc) && watch_.midMessage())
        return {
            ldapcode::kUnreachable,
            uri + ": " + step + ": the server closed the connection in the middle of its answer"};
    std::string what = step;
    if (IsTimeout(rc))
        what = "no answer within " + Seconds(settings_.timeoutSeconds) + " (" +
               (waitedFor.empty() ? step : waitedFor) + ")";
    std::string message = uri + ": " + what + ": " + ldap_err2string(rc);
    std::string said = late ? std::string() : diagnostic();
    // A refused connection says nothing more; a failed TLS handshake says little that helps.
    if (tls && IsConnectionLoss(rc) && !said.empty())
        said = "TLS handshake failed" +
               (said == "(unknown error code)" ? std::string() : ": " + said) +
               "; is the server's certificate trusted through caFile and issued for this host?";
    if (!said.empty() && said != ldap_err2string(rc)) message += " (" + said + ")";
    return {CodeFor(rc), message};
}

// The next message answering msgid (all of it, or one at a time), waited for until the
// deadline: its type, 0 when the deadline has passed, -1 when the connection failed.
int Connection::await(int msgid, int all, Message& message) {
    LDAPMessage* received = nullptr;
    timeval left = Timeval(watch_.secondsLeft());
    const int type = watch_.passed() ? 0 : ldap_result(ld_, msgid, all, &left, &received);
    message.reset(received);
    return type;
}

// The result code of the answer to msgid.
int Connection::answer(int msgid) {
    Message message(nullptr, ldap_msgfree);
    const int type = await(msgid, LDAP_MSG_ALL, message);
    if (type <= 0) return type == 0 ? LDAP_TIMEOUT : resultCode();
    int code = LDAP_SUCCESS;
    const int rc =
        ldap_parse_result(ld_, message.get(), &code, nullptr, nullptr, nullptr, nullptr, 0);
    return rc != LDAP_SUCCESS ? rc : code;
}

Failure Connection::open() {
    IgnoreBrokenPipes();
    StartLibldapWithoutItsConfiguration();
    int rc = ldap_initialize(&ld_, settings_.uri.c_str());
    if (rc != LDAP_SUCCESS || ld_ == nullptr)
        return {ldapcode::kLdapError, settings_.uri + ": not a usable server address: " +
                                          std::string(ldap_err2string(rc))};
    const int version = LDAP_VERSION3;
    ldap_set_option(ld_, LDAP_OPT_PROTOCOL_VERSION, &version);
    ldap_set_option(ld_, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    const timeval timeout = Timeval(settings_.timeoutSeconds);
    ldap_set_option(ld_, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(ld_, LDAP_OPT_TIMEOUT, &timeout);
    if (ldap_set_option(ld_, LDAP_OPT_CONNECT_CB, watch_.hook()) != LDAP_OPT_SUCCESS)
        return {ldapcode::kLdapError, settings_.uri + ": libldap cannot watch the connection"};

    // Every TLS connection demands a valid certificate, trusted through caFile or else the
    // system's store, whatever libldap's defaults or the environment say.
    const bool ldaps = settings_.uri.rfind("ldaps:", 0) == 0;
    const bool tls = settings_.startTls || ldaps;
    if (tls) {
        std::string trust = settings_.caFile;
        if (!trust.empty()) {
            const RegularFile ca(trust);  // never blocks on a FIFO
            if (!ca.ok())
                return {ldapcode::kUnreachable, settings_.uri + ": the CA file \"" + trust +
                                                    "\" cannot be read (" + ca.reason() + ")"};
        } else if (RegularFile(kSystemTrustStore).ok()) {
            trust = kSystemTrustStore;
        }
        if (!trust.empty()) ldap_set_option(ld_, LDAP_OPT_X_TLS_CACERTFILE, trust.c_str());
        const int demand = LDAP_OPT_X_TLS_DEMAND;
        ldap_set_option(ld_, LDAP_OPT_X_TLS_REQUIRE_CERT, &demand);
        const int client = 0;
        rc = ldap_set_option(ld_, LDAP_OPT_X_TLS_NEWCTX, &client);
        if (rc != LDAP_OPT_SUCCESS)
            return {ldapcode::kUnreachable,
                    settings_.uri + ": TLS cannot be set up with " +
                        (settings_.caFile.empty() ? std::string("the system's trust store")
                                                  : "the CA file \"" + settings_.caFile + "\"")};
    }

    std::string password;
    if (!settings_.bindDn.empty()) {
        if (!tls && !settings_.allowCleartextBind && !StaysOnThisMachine(settings_.uri))
            return {ldapcode::kBindRefused,
                    settings_.uri +
                        ": the password would cross the network unencrypted; use ldaps:// or "
                        "\"startTls\": true, or set \"allowCleartextBind\": true to send it "
                        "anyway"};
        std::string error;
        if (!ReadPassword(settings_.passwordFile, password, error))
            return {ldapcode::kBindRefused, settings_.uri + ": " + error};
    }
    struct Wiped {
        std::string& text;
        ~Wiped() { explicit_bzero(text.data(), text.size()); }
    } wiped{password};

    watch_.startPhase(settings_.timeoutSeconds);
    if (ldaps) watch_.captureRaw();
    if (ldap_connect(ld_) != LDAP_SUCCESS) {
        const int connectRc = resultCode();
        if (IsConnectionLoss(connectRc) && !watch_.socketOpen()) {
            if (const std::string host = HostName(settings_.uri); !host.empty())
                if (const std::string why = WhyNotResolved(host); !why.empty())
                    return {ldapcode::kUnreachable,
                            settings_.uri + ": the host name \"" + host + "\" does not resolve (" +
                                why + ")",
                            "check the host name in the address the directory client "
                            "configuration gives"};
        }
        Failure f = failure(connectRc, "cannot connect",
                            ldaps && watch_.socketOpen() ? "TLS handshake" : "connecting");
        if (ldaps && IsConnectionLoss(connectRc) && watch_.socketOpen() && SpeaksPlainLdap()) {
            f.message =
                settings_.uri + ": cannot connect: the port answers plain LDAP, not LDAP over TLS";
            f.toDo =
                "give the address as ldap:// with \"startTls\": true, or the server's "
                "LDAPS port (636 unless configured otherwise)";
        }
        return f;
    }
    if (settings_.startTls) {
        int msgid = 0;
        rc = ldap_start_tls(ld_, nullptr, nullptr, &msgid);
        if (rc == LDAP_SUCCESS) rc = answer(msgid);
        if (rc != LDAP_SUCCESS) {
            Failure f = failure(rc, "StartTLS failed");
            // The server answered and said no: it offers no TLS on this port.
            if (!IsConnectionLoss(rc) && !IsTimeout(rc))
                f.toDo =
                    "the server does not offer StartTLS: configure TLS on the server, or "
                    "give its ldaps:// address if it listens for LDAP over TLS";
            return f;
        }
        watch_.captureRaw();
        rc = ldap_install_tls(ld_);
        if (rc != LDAP_SUCCESS) return failure(rc, "StartTLS failed", "TLS handshake");
    }

    berval credentials{};
    credentials.bv_val = password.data();
    credentials.bv_len = password.size();
    int msgid = 0;
    rc = ldap_sasl_bind(ld_, settings_.bindDn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr,
                        nullptr, &msgid);
    if (rc == LDAP_SUCCESS) rc = answer(msgid);
    if (rc == LDAP_SUCCESS) return {};
    if (IsConnectionLoss(rc)) return failure(rc, "cannot connect", "connecting");
    if (IsTimeout(rc)) return failure(rc, "connecting");
    return failure(rc, settings_.bindDn.empty() ? std::string("anonymous bind refused")
                                                : "bind as \"" + settings_.bindDn + "\" refused");
}

std::vector<std::string> Connection::values(LDAPMessage* entry, const char* attribute) {
    std::vector<std::string> out;
    berval** list = ldap_get_values_len(ld_, entry, attribute);
    for (berval** v = list; v != nullptr && *v != nullptr; ++v)
        out.emplace_back((*v)->bv_val, (*v)->bv_len);
    if (list != nullptr) ldap_value_free_len(list);
    return out;
}

// The entry a base search finds, read message by message until the read's deadline, and rc
// its result code. The one entry asked for is all a server may send.
Failure Connection::readEntry(const std::string& base, const char* filter,
                              const char* const* attributes, const std::string& step,
                              Message& entry, int& rc) {
    watch_.startPhase(settings_.timeoutSeconds);
    timeval timeLimit = Timeval(settings_.timeoutSeconds);
    int msgid = 0;
    rc = ldap_search_ext(ld_, base.c_str(), LDAP_SCOPE_BASE, filter, const_cast<char**>(attributes),
                         0, nullptr, nullptr, &timeLimit, 0, &msgid);
    while (rc == LDAP_SUCCESS) {
        Message message(nullptr, ldap_msgfree);
        const int type = await(msgid, LDAP_MSG_ONE, message);
        if (type <= 0) {
            rc = type == 0 ? LDAP_TIMEOUT : resultCode();
            break;
        }
        if (type == LDAP_RES_SEARCH_RESULT) {
            int code = LDAP_SUCCESS;
            rc =
                ldap_parse_result(ld_, message.get(), &code, nullptr, nullptr, nullptr, nullptr, 0);
            if (rc == LDAP_SUCCESS) rc = code;
            return {};
        }
        if (type != LDAP_RES_SEARCH_ENTRY) continue;  // references and such: nothing to read
        if (entry != nullptr)
            return {ldapcode::kLdapError,
                    settings_.uri + ": " + step +
                        ": the server answered with more than the one entry asked for"};
        entry = std::move(message);
    }
    return failure(rc, step);
}

Failure Connection::readRootDse(LdapRootDse& dse) {
    static const char* const attributes[] = {"subschemaSubentry", "namingContexts",
                                             "defaultNamingContext", "directoryTreeName", nullptr};
    const std::string step = "reading the root DSE failed";
    Message entry(nullptr, ldap_msgfree);
    int rc = LDAP_SUCCESS;
    const Failure f = readEntry("", "(objectClass=*)", attributes, step, entry, rc);
    if (f.code != 0) return f;
    // A root DSE hidden from this bind leaves the defaults; the subschema read decides.
    if (rc == LDAP_NO_SUCH_OBJECT || rc == LDAP_INSUFFICIENT_ACCESS) return {};
    if (rc != LDAP_SUCCESS) return failure(rc, step);
    if (entry == nullptr) return {};
    auto first = [&](const char* attribute) {
        const std::vector<std::string> v = values(entry.get(), attribute);
        return v.empty() ? std::string() : v.front();
    };
    dse.subschemaSubentry = first("subschemaSubentry");
    dse.namingContexts = values(entry.get(), "namingContexts");
    dse.defaultNamingContext = first("defaultNamingContext");
    dse.directoryTreeName = first("directoryTreeName");
    return {};
}

Failure Connection::readSubschema(const std::string& dn, SchemaDefinitions& definitions) {
    static const char* const attributes[] = {
        "objectClasses",   "attributeTypes",    "ldapSyntaxes", "matchingRules", "matchingRuleUse",
        "dITContentRules", "dITStructureRules", "nameForms",    nullptr};
    const std::string step = "reading the subschema entry \"" + dn + "\" failed";
    Message entry(nullptr, ldap_msgfree);
    int rc = LDAP_SUCCESS;
    const Failure f = readEntry(dn, "(objectClass=subschema)", attributes, step, entry, rc);
    if (f.code != 0) return f;
    if (rc != LDAP_SUCCESS) return failure(rc, step);
    if (entry == nullptr)
        return {ldapcode::kNoSubschema,
                settings_.uri + ": the subschema entry \"" + dn + "\" cannot be found"};
    for (int t = 0; t < kElementTypes; ++t) {
        const auto type = static_cast<ElementType>(t);
        definitions.texts(type) = values(entry.get(), std::string(ElementAttribute(type)).c_str());
    }
    return {};
}

std::string Text(const QJsonValue& v) { return v.toString().toStdString(); }

std::string Resolved(const std::string& baseDir, const std::string& path) {
    return QDir::cleanPath(
               QDir(QString::fromStdString(baseDir)).absoluteFilePath(QString::fromStdString(path)))
        .toStdString();
}

}  // namespace

std::string LdapUriHost(const std::string& uri) {
    StartLibldapWithoutItsConfiguration();
    LDAPURLDesc* url = nullptr;
    std::string host;
    if (ldap_url_parse(uri.c_str(), &url) == LDAP_URL_SUCCESS && url != nullptr) {
        const std::string scheme = url->lud_scheme != nullptr ? url->lud_scheme : "";
        if (url->lud_host != nullptr && scheme != "ldapi") host = url->lud_host;
    }
    if (url != nullptr) ldap_free_urldesc(url);
    return host.empty() ? std::string("localhost") : host;
}

bool ParseLdapSettings(const QJsonObject& entry, const std::string& baseDir, LdapSettings& settings,
                       std::string& error) {
    StartLibldapWithoutItsConfiguration();
    settings = LdapSettings{};
    static const char* const known[] = {"treeName", "kind",    "uri",
                                        "startTls", "bindDn",  "passwordFile",
                                        "caFile",   "timeout", "allowCleartextBind"};
    for (auto it = entry.begin(); it != entry.end(); ++it) {
        const QString key = it.key();
        if (key.startsWith('_') || std::any_of(std::begin(known), std::end(known),
                                               [&](const char* k) { return key == k; }))
            continue;
        error = UnknownKeyText(key.toStdString(), {std::begin(known), std::end(known)});
        return false;
    }
    auto text = [&](const char* key, std::string& out, bool resolve) {
        if (!entry.contains(key)) return true;
        const QJsonValue v = entry.value(key);
        if (!v.isString() || v.toString().isEmpty() || v.toString().contains(QChar(0))) {
            error = std::string("\"") + key + "\": expected a text that is not empty";
            return false;
        }
        out = resolve ? Resolved(baseDir, Text(v)) : Text(v);
        return true;
    };
    if (!entry.contains("uri")) {
        error = "the key \"uri\" is missing";
        return false;
    }
    if (!text("uri", settings.uri, false) || !text("bindDn", settings.bindDn, false) ||
        !text("passwordFile", settings.passwordFile, true) ||
        !text("caFile", settings.caFile, true))
        return false;
    if (entry.contains("treeName") && entry.value("treeName").isString())
        settings.treeName = Text(entry.value("treeName"));

    LDAPURLDesc* url = nullptr;
    const bool parsed = ldap_url_parse(settings.uri.c_str(), &url) == LDAP_URL_SUCCESS;
    const std::string scheme = parsed && url->lud_scheme != nullptr ? url->lud_scheme : "";
    if (url != nullptr) ldap_free_urldesc(url);
    if (!parsed || (scheme != "ldap" && scheme != "ldaps" && scheme != "ldapi")) {
        error = "\"uri\": \"" + settings.uri +
                "\" is not an LDAP address such as ldap://dir.example.com/ or "
                "ldaps://dir.example.com:636/";
        return false;
    }
    if (entry.contains("startTls")) {
        if (!entry.value("startTls").isBool()) {
            error = "\"startTls\": expected true or false";
            return false;
        }
        settings.startTls = entry.value("startTls").toBool();
        if (settings.startTls && scheme != "ldap") {
            error = "\"startTls\" needs an ldap:// address (" + scheme + ":// has its own)";
            return false;
        }
    }
    if (entry.contains("allowCleartextBind")) {
        if (!entry.value("allowCleartextBind").isBool()) {
            error = "\"allowCleartextBind\": expected true or false";
            return false;
        }
        settings.allowCleartextBind = entry.value("allowCleartextBind").toBool();
    }
    if (settings.bindDn.empty() != settings.passwordFile.empty()) {
        error = "\"bindDn\" and \"passwordFile\" go together";
        return false;
    }
    if (entry.contains("timeout")) {
        const QJsonValue v = entry.value("timeout");
        const double seconds = v.toDouble(-1);
        if (!v.isDouble() || !(seconds > 0) || seconds > kMaxTimeout) {
            error = "\"timeout\": expected seconds, more than 0 and at most 3600";
            return false;
        }
        settings.timeoutSeconds = seconds;
    }
    return true;
}

LdapTreeSource::LdapTreeSource(LdapSettings settings) : settings_(std::move(settings)) {}

std::string LdapTreeSource::treeName() {
    if (!settings_.treeName.empty()) return settings_.treeName;
    Connection connection(settings_);
    LdapRootDse dse;
    if (connection.open().code == 0 && connection.readRootDse(dse).code == 0 &&
        !dse.directoryTreeName.empty())
        return dse.directoryTreeName;
    return LdapUriHost(settings_.uri);
}

namespace {

// What to do about a failure, by its kind.
std::string WhatToDo(DirCode code) {
    switch (code) {
        case ldapcode::kUnreachable:
        case ldapcode::kTimedOut:
            return "check that the server runs and that the directory client configuration "
                   "gives its address";
        case ldapcode::kBindRefused:
            return "check the bind DN and the password file the directory client configuration "
                   "names";
        case ldapcode::kNoAccess:
        case ldapcode::kNoSubschema:
            return "bind as a user who may read the schema";
        case ldapcode::kBadSchema:
            return "mend the definitions named";
        default:
            return {};
    }
}

}  // namespace

SchemaLoad LdapTreeSource::load() {
    SchemaLoad out;
    const std::string& uri = settings_.uri;
    const auto problem = [&uri](const Failure& f) {
        SourceProblem p;
        p.code = f.code;
        p.what = "cannot read the schema of";
        p.source = "the LDAP server";
        p.where = uri;
        // The connection's messages begin with the server's address.
        p.reason = ReasonAfter(f.message, uri);
        p.toDo = f.toDo.empty() ? WhatToDo(f.code) : f.toDo;
        return p;
    };
    auto failed = [&out, &problem](const Failure& f) {
        out.failure = problem(f);
        return out;
    };
    Connection connection(settings_);
    Failure f = connection.open();
    if (f.code != 0) return failed(f);
    LdapRootDse dse;
    f = connection.readRootDse(dse);
    if (f.code != 0) return failed(f);
    const std::string dn =
        dse.subschemaSubentry.empty() ? kDefaultSubschema : dse.subschemaSubentry;
    SchemaDefinitions definitions;
    f = connection.readSubschema(dn, definitions);
    if (f.code != 0) return failed(f);

    auto schema = std::make_shared<TreeSchema>(MapLdapSchema(definitions));
    if (schema->classes.empty() && schema->attributes.empty()) {
        if (schema->skipped.empty())
            return failed({ldapcode::kNoSubschema,
                           settings_.uri + ": the subschema entry \"" + dn +
                               "\" shows no object classes or attribute types (this bind may "
                               "not be allowed to read them)"});
        return failed({ldapcode::kBadSchema,
                       SkippedDefinitionsText(schema->skipped,
                                              settings_.uri + ": the subschema does not parse")});
    }
    schema->defaultContext = !dse.defaultNamingContext.empty() ? dse.defaultNamingContext
                             : dse.namingContexts.empty()      ? std::string()
                                                               : dse.namingContexts.front();
    schema->origin.description = settings_.uri;
    schema->origin.server = true;
    schema->origin.taken = UtcTimestamp();
    schema->origin.subschemaDn = dse.subschemaSubentry;
    schema->origin.activeDirectory = IsActiveDirectorySubschema(dse.subschemaSubentry);
    if (!schema->skipped.empty()) {
        SourceProblem notice =
            problem({ldapcode::kBadSchema, SkippedDefinitionsText(schema->skipped, uri)});
        notice.what = "is read without the definitions that do not parse";
        out.notices.push_back(std::move(notice));
    }
    out.schema = std::move(schema);
    return out;
}

bool IsActiveDirectorySubschema(const std::string& dn) {
    // Active Directory publishes its schema as CN=Aggregate,CN=Schema,CN=Configuration,...
    std::string flat;
    for (char c : dn)
        if (c != ' ') flat += c;
    return AsciiLower(flat).starts_with("cn=aggregate,cn=schema,cn=configuration,");
}

bool IsTreeSourceKind(const std::string& kind) {
    return kind == "ldap" || kind == "schema-files" || kind == "ldif";
}

std::shared_ptr<SimTreeSource> MakeTreeSource(const std::string& kind, const QJsonObject& entry,
                                              const std::string& baseDir, std::string& error) {
    if (kind == "ldap") {
        LdapSettings settings;
        if (!ParseLdapSettings(entry, baseDir, settings, error)) return nullptr;
        return std::make_shared<LdapTreeSource>(std::move(settings));
    }
    if (kind == "schema-files" || kind == "ldif") {
        SchemaFilesSettings settings;
        const SchemaFileFormat format =
            kind == "ldif" ? SchemaFileFormat::Ldif : SchemaFileFormat::Detect;
        if (!ParseSchemaFilesSettings(entry, baseDir, format, settings, error)) return nullptr;
        return std::make_shared<SchemaFilesSource>(std::move(settings));
    }
    error = "unknown kind \"" + kind + "\"";
    return nullptr;
}
