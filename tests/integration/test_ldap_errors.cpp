// What the user is told when a server cannot be read: down, refusing the bind, untrusted;
// a definition that does not parse; and TLS that works when the certificate is trusted
// through the connection's CA file. (Servers that misbehave on purpose: the core test of
// hostile servers.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <algorithm>

#include <cstdlib>

#include "LdapTestSupport.h"
#include "SlapdServer.h"
#include "sources/LdapClient.h"
#include "sources/LdapSchema.h"

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

constexpr const char* kRootDn = "cn=admin,dc=example,dc=com";

QJsonObject WithBind(QJsonObject connection, const std::string& passwordFile) {
    connection["bindDn"] = kRootDn;
    connection["passwordFile"] = QString::fromStdString(passwordFile);
    return connection;
}

TEST(LdapErrors, AStoppedServerNamesItselfAndTheCause) {
    SlapdServer server;
    TempDir dir;
    LiveSession s(WriteClientConfig(dir, {LdapConnection(server.uri(), "LIVE")}));
    server.stop();
    EXPECT_EQ(s.change("LIVE"), ldapcode::kUnreachable);
    EXPECT_EQ(s.explain(ldapcode::kUnreachable),
              "0xFFFFFD8F (" + server.uri() + ": cannot connect: Can't contact LDAP server)");
    // Nothing changed, and the next try finds the server back.
    EXPECT_EQ(ContextTreeName(s.client(), s.context), "");
    server.restart();
    EXPECT_EQ(s.change("LIVE"), 0);
    EXPECT_THAT(s.classNames(), Contains("inetOrgPerson"));
}

TEST(LdapErrors, AWrongPasswordIsRefusedWithoutShowingIt) {
    SlapdServer server;
    TempDir dir;
    const std::string wrong = dir.write("wrong.pw", "not-the-secret\n");
    const std::string right = dir.write("right.pw", "secret\n");
    ASSERT_EQ(chmod(wrong.c_str(), 0600), 0);
    ASSERT_EQ(chmod(right.c_str(), 0600), 0);
    LiveSession s(WriteClientConfig(
        dir, {WithBind(LdapConnection(server.uri(), "WRONG"), wrong),
              WithBind(LdapConnection(server.uri(), "RIGHT"), right),
              WithBind(LdapConnection(server.uri(), "MISSING"), dir.file("missing.pw"))}));
    EXPECT_EQ(s.change("WRONG"), ldapcode::kBindRefused);
    const std::string refused = s.explain(ldapcode::kBindRefused);
    EXPECT_EQ(refused, "0xFFFFFD63 (" + server.uri() + ": bind as \"" + kRootDn +
                           "\" refused: Invalid credentials)");
    EXPECT_THAT(refused, Not(HasSubstr("not-the-secret")));

    // The password file is read at each bind, its line end not part of the password.
    EXPECT_EQ(s.change("RIGHT"), 0);
    EXPECT_THAT(s.classNames(), Contains("inetOrgPerson"));

    EXPECT_EQ(s.change("MISSING"), ldapcode::kBindRefused);
    EXPECT_THAT(s.explain(ldapcode::kBindRefused),
                HasSubstr(": the password file \"" + dir.file("missing.pw") + "\" cannot be read"));
}

TEST(LdapErrors, ADefinitionThatDoesNotParseIsLeftOutAndReported) {
    SlapdServer server;
    TempDir dir;
    // The server's schema as ldapsearch dumps it, one class definition broken.
    const std::string dump = dir.file("dump.ldif");
    const std::string command = "ldapsearch -x -LLL -o ldif-wrap=no -H " + server.uri() +
                                " -s base -b cn=Subschema '(objectClass=subschema)' objectClasses "
                                "attributeTypes ldapSyntaxes > " +
                                dump;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::string text = TempDir::read(dump);
    const std::string good = "NAME 'inetOrgPerson'";
    ASSERT_NE(text.find(good), std::string::npos);
    text.replace(text.find(good), good.size(), "NAME 'inetOrgPerson' BROKEN");
    dir.write("dump.ldif", text);

    LiveSession s(WriteClientConfig(
        dir, {QJsonObject{{"kind", "ldif"}, {"treeName", "DUMP"}, {"file", "dump.ldif"}},
              LdapConnection(server.uri(), "LIVE")}));
    // The load succeeds without the broken class and says once what was left out.
    const SchemaLoad load = s.load("DUMP");
    ASSERT_TRUE(load.schema);
    EXPECT_EQ(load.schema->findClass("inetOrgPerson"), nullptr);
    EXPECT_NE(load.schema->findClass("organizationalPerson"), nullptr);
    ASSERT_EQ(load.notices.size(), 1u);
    EXPECT_EQ(load.notices[0].code, ldapcode::kBadSchema);
    // Named by the dump's line it stands on (not wrapped).
    const auto line = std::count(text.begin(), text.begin() + text.find(good), '\n') + 1;
    EXPECT_THAT(s.explain(ldapcode::kBadSchema),
                StartsWith("0xFFFFFD9B (" + dump + ": 1 object class definition left out:\n- " +
                           dump + ":" + std::to_string(line) +
                           ": ( 2.16.840.1.113730.3.2.2 NAME 'inetOrgPerson' BROKEN"));
    EXPECT_THAT(s.explain(ldapcode::kBadSchema), HasSubstr("unexpected token after"));
}

TEST(LdapErrors, LdapsAndStartTlsWithACertificateTrustedThroughTheCaFile) {
    TempDir dir;
    const TestCertificate certificate = MakeSelfSignedCertificate(dir.path().string(), "server");
    SlapdServer::Options options;
    options.certificateFile = certificate.certificateFile;
    options.keyFile = certificate.keyFile;
    SlapdServer server(options);

    QJsonObject trusted = LdapConnection(server.ldapsUri(), "TRUSTED");
    trusted["caFile"] = QString::fromStdString(certificate.certificateFile);
    QJsonObject startTls = LdapConnection(server.uri(), "STARTTLS");
    startTls["caFile"] = QString::fromStdString(certificate.certificateFile);
    startTls["startTls"] = true;
    QJsonObject untrusted = LdapConnection(server.ldapsUri(), "UNTRUSTED");
    QJsonObject missingCa = LdapConnection(server.ldapsUri(), "NOCA");
    missingCa["caFile"] = QString::fromStdString(dir.file("none.pem"));
    LiveSession s(WriteClientConfig(dir, {trusted, startTls, untrusted, missingCa}));

    ASSERT_EQ(s.change("TRUSTED"), 0) << s.explain(ldapcode::kUnreachable) << server.log();
    EXPECT_THAT(s.classNames(), Contains("inetOrgPerson"));
    ASSERT_EQ(s.change("STARTTLS"), 0) << s.explain(ldapcode::kUnreachable);
    EXPECT_THAT(s.attributeNames(), Contains("cn"));

    EXPECT_EQ(s.change("UNTRUSTED"), ldapcode::kUnreachable);
    EXPECT_EQ(s.explain(ldapcode::kUnreachable),
              "0xFFFFFD8F (" + server.ldapsUri() +
                  ": cannot connect: Can't contact LDAP server (TLS handshake failed; is the "
                  "server's certificate trusted through caFile and issued for this host?))");
    EXPECT_EQ(s.change("NOCA"), ldapcode::kUnreachable);
    EXPECT_THAT(s.explain(ldapcode::kUnreachable),
                HasSubstr(": the CA file \"" + dir.file("none.pem") + "\" cannot be read"));
}

}  // namespace

namespace {

// Mistakes a newcomer makes in the address get advice of their own: what is wrong, and
// what to write instead.
TEST(LdapErrors, AddressMistakesSayWhatToWriteInstead) {
    SlapdServer server;  // no TLS at all
    struct Case {
        const char* label;
        std::string uri;
        bool startTls;
        const char* says;
        const char* toDo;
        DirCode code = ldapcode::kUnreachable;
    };
    const std::string plain = server.uri();
    const Case cases[] = {
        {"unknown host", "ldap://kalvix-no-such-host.invalid:389/", false,
         "the host name \"kalvix-no-such-host.invalid\" does not resolve (",
         "check the host name in the address"},
        {"ldaps to the plain port", "ldaps" + plain.substr(4), false,
         "cannot connect: the port answers plain LDAP, not LDAP over TLS",
         "give the address as ldap:// with \"startTls\": true"},
        {"StartTLS refused", plain, true, "StartTLS failed: ", "the server does not offer StartTLS",
         ldapcode::kLdapError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LdapSettings settings;
        settings.uri = c.uri;
        settings.startTls = c.startTls;
        settings.timeoutSeconds = 5;
        const SchemaLoad load = LdapTreeSource(settings).load();
        EXPECT_EQ(load.failure.code, c.code);
        EXPECT_THAT(load.failure.explanation(), StartsWith(c.uri + ": " + c.says));
        EXPECT_THAT(load.failure.toDo, StartsWith(c.toDo));
    }
}

}  // namespace
