// What kalvix-cli trusts and what it sends: TLS trust only from caFile or the system's
// store (never from an ldaprc in the working folder or the home folder, nor from LDAP*
// variables), passwords only from files no one else can read, and never in the clear
// across the network unless the connection says so.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QJsonArray>
#include <QJsonObject>
#include <string>

#include "CliRunner.h"
#include "LdapTestSupport.h"
#include "SlapdServer.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

constexpr const char* kRootDn = "cn=admin,dc=example,dc=com";

// The environment of a user whose libldap settings switch certificate checks off: the
// test runner's own LDAPNOINIT removed, a home folder with .ldaprc, LDAPTLS_REQCERT.
EnvChanges HostileEnvironment(const TempDir& home) {
    return {{"LDAPNOINIT", ""}, {"HOME", home.path().string()}, {"LDAPTLS_REQCERT", "never"}};
}

TEST(LdapTrustCli, APlantedLdaprcNeverMakesAnUntrustedServerTrusted) {
    TempDir dir;
    TempDir home;
    const TestCertificate certificate = MakeSelfSignedCertificate(dir.path().string(), "server");
    SlapdServer::Options options;
    options.certificateFile = certificate.certificateFile;
    options.keyFile = certificate.keyFile;
    SlapdServer server(options);

    // Both ways an ldaprc could open the door: no checks at all, or the server's own
    // certificate named as the one to trust.
    TempDir work;
    work.write("ldaprc", "TLS_REQCERT never\nTLS_CACERT " + certificate.certificateFile + "\n");
    home.write(".ldaprc", "TLS_REQCERT never\n");
    home.write("ldaprc", "TLS_REQCERT allow\n");

    const std::string password = dir.write("admin.pw", "secret\n");
    ASSERT_EQ(chmod(password.c_str(), 0600), 0);
    QJsonObject untrusted = LdapConnection(server.ldapsUri(), "UNTRUSTED");
    untrusted["bindDn"] = kRootDn;
    untrusted["passwordFile"] = QString::fromStdString(password);
    QJsonObject trusted = untrusted;
    trusted["treeName"] = "TRUSTED";
    trusted["caFile"] = QString::fromStdString(certificate.certificateFile);
    const std::string config = WriteClientConfig(dir, {untrusted, trusted});
    EnvChanges env = HostileEnvironment(home);
    env["KALVIX_CLIENT"] = config;

    const CliResult refused =
        RunCli({"quick", "tree:UNTRUSTED", CliData("lab_1.txt")}, env, work.path().string());
    EXPECT_EQ(refused.status, 2) << refused.err;
    EXPECT_THAT(refused.err, HasSubstr(server.ldapsUri() + ": cannot connect"));
    EXPECT_THAT(refused.err, HasSubstr("TLS handshake failed"));

    // The same server through caFile, from the same hostile folder, is fine.
    const CliResult fine =
        RunCli({"quick", "tree:TRUSTED", CliData("lab_1.txt")}, env, work.path().string());
    EXPECT_NE(fine.status, 2) << fine.err;
}

QJsonObject BoundConnection(const std::string& uri, const std::string& treeName,
                            const std::string& passwordFile) {
    QJsonObject connection = LdapConnection(uri, treeName);
    connection["bindDn"] = kRootDn;
    connection["passwordFile"] = QString::fromStdString(passwordFile);
    return connection;
}

TEST(LdapTrustCli, APasswordFileOthersCanReadIsRefused) {
    SlapdServer server;
    TempDir dir;
    const std::string open = dir.write("acme.pw", "secret\n");
    ASSERT_EQ(chmod(open.c_str(), 0644), 0);
    const std::string group = dir.write("group.pw", "secret\n");
    ASSERT_EQ(chmod(group.c_str(), 0640), 0);
    const std::string fifo = dir.file("fifo.pw");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string own = dir.write("own.pw", "secret\n");
    ASSERT_EQ(chmod(own.c_str(), 0400), 0);
    const EnvChanges env = {
        {"KALVIX_CLIENT", WriteClientConfig(dir, {BoundConnection(server.uri(), "OPEN", open),
                                                  BoundConnection(server.uri(), "GROUP", group),
                                                  BoundConnection(server.uri(), "FIFO", fifo),
                                                  BoundConnection(server.uri(), "OWN", own)})}};

    const CliResult wide = RunCli({"quick", "tree:OPEN", CliData("lab_1.txt")}, env);
    EXPECT_EQ(wide.status, 2);
    EXPECT_THAT(wide.err, HasSubstr("permissions 0644 for the password file \"" + open +
                                    "\" are too open; run chmod 600 " + open));
    const CliResult byGroup = RunCli({"quick", "tree:GROUP", CliData("lab_1.txt")}, env);
    EXPECT_EQ(byGroup.status, 2);
    EXPECT_THAT(byGroup.err, HasSubstr("permissions 0640 for the password file"));
    // Even with a timeout set, a FIFO used to wait for a writer for ever.
    const CliResult pipe = RunCli({"quick", "tree:FIFO", CliData("lab_1.txt")}, env);
    EXPECT_EQ(pipe.status, 2);
    EXPECT_THAT(pipe.err, HasSubstr("the password file \"" + fifo +
                                    "\" cannot be read (not a regular file)"));
    const CliResult fine = RunCli({"quick", "tree:OWN", CliData("lab_1.txt")}, env);
    EXPECT_NE(fine.status, 2) << fine.err;
}

TEST(LdapTrustCli, APasswordNeverCrossesTheNetworkInTheClearUnlessAllowed) {
    TempDir dir;
    const std::string password = dir.write("admin.pw", "secret\n");
    ASSERT_EQ(chmod(password.c_str(), 0600), 0);
    // A documentation address (TEST-NET-1): the refusal comes before any connection.
    const std::string remote = "ldap://192.0.2.1:389/";
    QJsonObject plain = BoundConnection(remote, "PLAIN", password);
    plain["timeout"] = 1;
    QJsonObject allowed = plain;
    allowed["treeName"] = "ALLOWED";
    allowed["allowCleartextBind"] = true;
    QJsonObject anonymous = LdapConnection(remote, "ANONYMOUS");
    anonymous["timeout"] = 1;
    const EnvChanges env = {{"KALVIX_CLIENT", WriteClientConfig(dir, {plain, allowed, anonymous})}};

    const CliResult refused = RunCli({"quick", "tree:PLAIN", CliData("lab_1.txt")}, env);
    EXPECT_EQ(refused.status, 2);
    EXPECT_THAT(refused.err, HasSubstr(remote + ": the password would cross the network "
                                                "unencrypted; use ldaps:// or \"startTls\": "
                                                "true, or set \"allowCleartextBind\": true"));
    // Allowed, or without a password, it is only the network that fails.
    for (const char* tree : {"tree:ALLOWED", "tree:ANONYMOUS"}) {
        const CliResult tried = RunCli({"quick", tree, CliData("lab_1.txt")}, env);
        EXPECT_EQ(tried.status, 2);
        EXPECT_THAT(tried.err, Not(HasSubstr("allowCleartextBind"))) << tree;
        EXPECT_THAT(tried.err, HasSubstr(remote + ": ")) << tree;
    }

    // A loopback server gets the password without ceremony.
    SlapdServer server;
    const EnvChanges local = {
        {"KALVIX_CLIENT",
         WriteClientConfig(dir, {BoundConnection(server.uri(), "LOCAL", password)}, "local.json")}};
    const CliResult fine = RunCli({"quick", "tree:LOCAL", CliData("lab_1.txt")}, local);
    EXPECT_NE(fine.status, 2) << fine.err;
}

}  // namespace
