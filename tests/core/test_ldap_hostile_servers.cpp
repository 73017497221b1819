// What a hostile LDAP server gets from a read: a server silent (also inside a TLS
// handshake), speaking another protocol, or sending without end is named with what it did,
// within the connection's timeout and without taking more than the read limit. Each server
// is a thread of the test process on 127.0.0.1.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>

#include "sources/LdapClient.h"
#include "sources/LdapSchema.h"

using ::testing::StartsWith;

namespace {

// BER as an LDAP server writes it: a tag, a definite length, the contents.
std::string Tlv(unsigned char tag, const std::string& contents) {
    std::string out(1, static_cast<char>(tag));
    const std::size_t n = contents.size();
    if (n < 0x80) {
        out += static_cast<char>(n);
    } else {
        out += '\x84';
        for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(n >> shift & 0xFF);
    }
    return out + contents;
}

std::string Integer(unsigned char tag, int value) {
    std::string bytes;
    do {
        bytes.insert(bytes.begin(), static_cast<char>(value & 0xFF));
        value >>= 8;
    } while (value != 0);
    if ((static_cast<unsigned char>(bytes[0]) & 0x80) != 0) bytes.insert(bytes.begin(), '\0');
    return Tlv(tag, bytes);
}

std::string Message(int msgid, const std::string& operation) {
    return Tlv(0x30, Integer(0x02, msgid) + operation);
}

std::string Success(unsigned char tag, const std::string& more = {}) {
    return Tlv(tag, Integer(0x0A, 0) + Tlv(0x04, "") + Tlv(0x04, "") + more);
}

std::string Entry(std::size_t valueSize) {
    return Tlv(0x64,
               Tlv(0x04, "cn=Subschema") +
                   Tlv(0x30, Tlv(0x30, Tlv(0x04, "objectClasses") +
                                           Tlv(0x31, Tlv(0x04, std::string(valueSize, 'x'))))));
}

enum class Misdeed {
    Silent,               // reads, never answers
    SilentAfterStartTls,  // grants StartTLS, then says nothing in the handshake
    OtherProtocol,        // greets with an SSH banner
    EndlessEntries,       // answers a search with entry after entry
    EndlessStrays,        // ... with answers to a request never made
    HugeMessage,          // ... by announcing a 2 GiB message and sending zeros
    Dribble,              // ... with an entry, a byte every 20 ms
    CloseMidAnswer,       // ... with half an entry, then closes
};

// One connection at a time, each answered as the misdeed says until the client goes.
class HostileServer {
  public:
    explicit HostileServer(Misdeed misdeed) : misdeed_(misdeed) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || pipe2(stop_, O_CLOEXEC) != 0 ||
            bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 8) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { run(); });
    }
    ~HostileServer() {
        [[maybe_unused]] const ssize_t woken = write(stop_[1], "x", 1);
        thread_.join();
        for (int fd : {listener_, stop_[0], stop_[1]}) close(fd);
    }
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    std::string uri(const char* scheme) const {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_) + "/";
    }

  private:
    void run() {
        while (ready(listener_, POLLIN)) {
            const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            serve(fd);
            close(fd);
        }
    }

    void serve(int fd) {
        if (misdeed_ == Misdeed::OtherProtocol) say(fd, "SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n");
        int msgid = 0;
        unsigned char operation = 0;
        while (misdeed_ != Misdeed::Silent && misdeed_ != Misdeed::OtherProtocol &&
               request(fd, msgid, operation)) {
            if (operation == 0x60) {  // bind
                if (!say(fd, Message(msgid, Success(0x61)))) return;
            } else if (operation == 0x77) {  // StartTLS: the client's handshake goes unanswered
                say(fd, Message(msgid, Success(0x78, Tlv(0x8A, "1.3.6.1.4.1.1466.20037"))));
                break;
            } else if (operation == 0x63) {  // search
                if (misdeed_ == Misdeed::EndlessEntries)
                    while (say(fd, Message(msgid, Entry(1000)))) continue;
                if (misdeed_ == Misdeed::EndlessStrays)
                    while (say(fd, Message(msgid + 1000, Entry(60000)))) continue;
                if (misdeed_ == Misdeed::Dribble)
                    for (const char byte : Message(msgid, Entry(1000)))
                        if (!say(fd, std::string(1, byte)) || !pause(20)) return;
                if (misdeed_ == Misdeed::CloseMidAnswer) {
                    const std::string entry = Message(msgid, Entry(1000));
                    say(fd, entry.substr(0, entry.size() / 2));
                    return;
                }
                if (misdeed_ == Misdeed::HugeMessage &&
                    say(fd, std::string("\x30\x84\x80\x00\x00\x00", 6)))
                    while (say(fd, std::string(65536, '\0'))) continue;
                return;
            } else {
                return;
            }
        }
        char buffer[4096];
        while (ready(fd, POLLIN) && recv(fd, buffer, sizeof buffer, 0) > 0) continue;
    }

    // The next request's message id and operation tag; false for anything else.
    bool request(int fd, int& msgid, unsigned char& operation) {
        std::string bytes;
        if (!receive(fd, bytes, 2) || bytes[0] != 0x30) return false;
        std::size_t length = static_cast<unsigned char>(bytes[1]);
        if (length >= 0x80) {
            const std::size_t count = length & 0x7F;
            if (count > 4 || !receive(fd, bytes, 2 + count)) return false;
            length = 0;
            for (std::size_t i = 0; i < count; ++i)
                length = length << 8 | static_cast<unsigned char>(bytes[2 + i]);
        }
        const std::size_t start = bytes.size();
        if (length < 3 || !receive(fd, bytes, start + length)) return false;
        const std::size_t idLength = static_cast<unsigned char>(bytes[start + 1]);
        if (idLength > 3 || length < 3 + idLength) return false;
        msgid = 0;
        for (std::size_t i = 0; i < idLength; ++i)
            msgid = msgid << 8 | static_cast<unsigned char>(bytes[start + 2 + i]);
        operation = static_cast<unsigned char>(bytes[start + 2 + idLength]);
        return true;
    }

    bool receive(int fd, std::string& bytes, std::size_t size) {
        char buffer[4096];
        while (bytes.size() < size) {
            if (!ready(fd, POLLIN)) return false;
            const ssize_t n = recv(fd, buffer, std::min(sizeof buffer, size - bytes.size()), 0);
            if (n <= 0) return false;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }

    // False once the client has gone or the server stops.
    bool say(int fd, const std::string& bytes) {
        for (std::size_t sent = 0; sent < bytes.size();) {
            if (!ready(fd, POLLOUT)) return false;
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // The socket is ready for events, and the server is not stopping.
    bool ready(int fd, short events) {
        pollfd p[2] = {{fd, events, 0}, {stop_[0], POLLIN, 0}};
        while (poll(p, 2, -1) < 0)
            if (errno != EINTR) return false;
        return p[1].revents == 0;
    }

    // Waits a while; false when the server stops.
    bool pause(int milliseconds) {
        pollfd p{stop_[0], POLLIN, 0};
        return poll(&p, 1, milliseconds) == 0;
    }

    Misdeed misdeed_;
    int listener_ = -1;
    int stop_[2] = {-1, -1};
    int port_ = 0;
    std::thread thread_;
};

struct Case {
    const char* label;
    Misdeed misdeed;
    const char* scheme;
    bool startTls;
    DirCode code;
    const char* says;  // after the server's address
    std::size_t readLimit = kLdapReadLimit;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.label; }

class HostileServers : public ::testing::TestWithParam<Case> {};

TEST_P(HostileServers, AreNamedForWhatTheyDid) {
    const Case& c = GetParam();
    HostileServer server(c.misdeed);
    LdapSettings settings;
    settings.uri = server.uri(c.scheme);
    settings.startTls = c.startTls;
    settings.readLimit = c.readLimit;
    // Short for the silent; a server that must be told apart at once gets time to be slow.
    settings.timeoutSeconds = c.code == ldapcode::kTimedOut ? 0.3 : 20;
    LdapTreeSource source(settings);
    // As the tree list (and so bash completion) asks: the host names the tree.
    EXPECT_EQ(source.treeName(), "127.0.0.1");
    const SchemaLoad load = source.load();
    EXPECT_EQ(load.failure.code, c.code);
    EXPECT_EQ(load.schema, nullptr);
    EXPECT_THAT(load.failure.explanation(), StartsWith(settings.uri + ": " + c.says));
}

INSTANTIATE_TEST_SUITE_P(
    Misdeeds, HostileServers,
    ::testing::Values(
        Case{"Silent", Misdeed::Silent, "ldap", false, ldapcode::kTimedOut,
             "no answer within 0.3 s (connecting): Timed out"},
        Case{"SilentWithTls", Misdeed::Silent, "ldaps", false, ldapcode::kTimedOut,
             "no answer within 0.3 s (TLS handshake): Timed out"},
        Case{"SilentToStartTls", Misdeed::Silent, "ldap", true, ldapcode::kTimedOut,
             "no answer within 0.3 s (StartTLS failed): Timed out"},
        Case{"SilentAfterStartTls", Misdeed::SilentAfterStartTls, "ldap", true, ldapcode::kTimedOut,
             "no answer within 0.3 s (TLS handshake): Timed out"},
        Case{"OtherProtocol", Misdeed::OtherProtocol, "ldap", false, ldapcode::kUnreachable,
             "the server answered with something that is not LDAP: \"SSH-2"},
        Case{"OtherProtocolForTls", Misdeed::OtherProtocol, "ldaps", false, ldapcode::kUnreachable,
             "the server answered with something that is not TLS: \"SSH-2"},
        Case{"CloseMidAnswer", Misdeed::CloseMidAnswer, "ldap", false, ldapcode::kUnreachable,
             "reading the root DSE failed: the server closed the connection in the middle of "
             "its answer"},
        Case{"Dribble", Misdeed::Dribble, "ldap", false, ldapcode::kTimedOut,
             "no answer within 0.3 s (reading the root DSE failed): Timed out"},
        Case{"EndlessEntries", Misdeed::EndlessEntries, "ldap", false, ldapcode::kLdapError,
             "reading the root DSE failed: the server answered with more than the one entry "
             "asked for"},
        Case{"HugeMessage", Misdeed::HugeMessage, "ldap", false, ldapcode::kLdapError,
             "reading the root DSE failed: the server's answer exceeds 64 MiB, the most a "
             "schema read may take"},
        Case{"EndlessStrays", Misdeed::EndlessStrays, "ldap", false, ldapcode::kLdapError,
             "reading the root DSE failed: the server's answer exceeds 1 MiB, the most a schema "
             "read may take",
             std::size_t{1} << 20}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
