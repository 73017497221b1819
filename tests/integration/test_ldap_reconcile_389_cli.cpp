// kalvix-cli reconcile against a live 389 Directory Server: Tree #1 is an LDIF dump of its
// schema plus definitions the test adds (super-type chains, classes that use them, a class
// defined otherwise); the default dialect's document applied with ldapmodify leaves nothing
// unique, and --include-changed makes the class defined otherwise compare equal.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include "CliRunner.h"
#include "LdapTestSupport.h"
#include "LdifRecords.h"
#include "SlapdServer.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

namespace {

const char* const kManager = "cn=Directory Manager";
const char* const kPassword = "Kalvix17secret";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// A throwaway 389 server in a private root under a temporary folder, on 127.0.0.1 only.
class Ds389Server {
  public:
    explicit Ds389Server(const std::string& folder)
        : root_(folder + "/root"), instance_("kx17" + std::to_string(getpid())) {
        std::filesystem::create_directories(root_ + "/share");
        std::filesystem::create_directories(root_ + "/etc/dirsrv");
        std::filesystem::copy("/usr/share/dirsrv", root_ + "/share/dirsrv",
                              std::filesystem::copy_options::recursive);
        for (const char* part : {"config", "schema"})
            std::filesystem::copy(std::string("/etc/dirsrv/") + part, root_ + "/etc/dirsrv/" + part,
                                  std::filesystem::copy_options::recursive);
        rewriteDefaults();
        const std::string dse = root_ + "/share/dirsrv/data/template-dse.ldif";
        std::string text = ReadAll(dse);
        const std::string port = "nsslapd-port: %ds_port%\n";
        text.replace(text.find(port), port.size(),
                     port + "nsslapd-listenhost: 127.0.0.1\nnsslapd-securelistenhost: 127.0.0.1\n");
        WriteAll(dse, text);

        port_ = FreeLoopbackPort();
        int secure = 0;
        do secure = FreeLoopbackPort();
        while (secure == port_);
        const std::string inf = folder + "/instance.inf";
        WriteAll(
            inf,
            "[general]\nconfig_version = 2\nfull_machine_name = localhost\n"
            "strict_host_checking = False\nselinux = False\nsystemd = False\nstart = True\n"
            "[slapd]\ninstance_name = " +
                instance_ + "\nuser = " + User() + "\ngroup = " + Group() +
                "\nport = " + std::to_string(port_) + "\nsecure_port = " + std::to_string(secure) +
                "\nroot_password = " + kPassword +
                "\nself_sign_cert = False\n"
                "[backend-userroot]\nsuffix = dc=kalvix,dc=test\ncreate_suffix_entry = True\n");
        std::filesystem::permissions(
            inf, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        const std::string command = "PREFIX='" + root_ + "' dscreate from-file '" + inf + "' > '" +
                                    folder + "/dscreate.log' 2>&1";
        if (std::system(command.c_str()) != 0) {
            stop();
            throw std::runtime_error("dscreate failed: " + ReadAll(folder + "/dscreate.log"));
        }
    }
    ~Ds389Server() { stop(); }
    Ds389Server(const Ds389Server&) = delete;
    Ds389Server& operator=(const Ds389Server&) = delete;

    std::string uri() const { return "ldap://127.0.0.1:" + std::to_string(port_) + "/"; }

  private:
    static std::string User() { return std::to_string(getuid()) == "0" ? "root" : Name("-un"); }
    static std::string Group() { return getgid() == 0 ? "root" : Name("-gn"); }
    static std::string Name(const char* flag) {
        std::string out;
        if (FILE* p = popen((std::string("id ") + flag).c_str(), "r")) {
            char buffer[256];
            while (fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
            pclose(p);
        }
        while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
        return out;
    }

    // dscreate finds every path through defaults.inf: all of them under the private root.
    void rewriteDefaults() {
        const std::string path = root_ + "/share/dirsrv/inf/defaults.inf";
        std::istringstream in(ReadAll(path));
        const std::map<std::string, std::string> set = {
            {"with_systemd", "0"},
            {"with_selinux", "no"},
            {"prefix", root_},
            {"bin_dir", "/usr/bin"},
            {"sbin_dir", "/usr/sbin"},
            {"lib_dir", "/usr/lib/x86_64-linux-gnu"},
            {"data_dir", root_ + "/share"},
            {"inst_dir", root_ + "/lib/dirsrv/slapd-{instance_name}"},
            {"plugin_dir", "/usr/lib/x86_64-linux-gnu/dirsrv/plugins"},
            {"system_schema_dir", root_ + "/share/dirsrv/schema"},
            {"user", User()},
            {"group", Group()},
        };
        std::string out, line;
        while (std::getline(in, line)) {
            const std::size_t slash = line.find(" /");
            if (slash != std::string::npos) line.replace(slash, 2, " " + root_ + "/");
            const std::size_t equals = line.find(" =");
            if (equals != std::string::npos) {
                const auto it = set.find(line.substr(0, equals));
                if (it != set.end()) line = it->first + " = " + it->second;
            }
            out += line + "\n";
        }
        WriteAll(path, out);
    }

    void stop() {
        const std::string pidFile = root_ + "/run/dirsrv/slapd-" + instance_ + ".pid";
        const pid_t pid = static_cast<pid_t>(std::atoi(ReadAll(pidFile).c_str()));
        if (pid > 0 && kill(pid, SIGTERM) == 0) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (kill(pid, 0) == 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (kill(pid, 0) == 0) kill(pid, SIGKILL);
        }
        std::error_code ec;
        std::filesystem::remove("/dev/shm/sem.slapd-" + instance_ + ".stats", ec);
    }

    std::string root_;
    std::string instance_;
    int port_ = 0;
};

CliResult Ldap(const char* program, const std::string& uri, std::vector<std::string> args) {
    std::vector<std::string> all = {"-x", "-H", uri, "-D", kManager, "-w", kPassword};
    all.insert(all.end(), args.begin(), args.end());
    return RunProgram(std::string("/usr/bin/") + program, all);
}

std::vector<std::string> Texts(const QJsonValue& list) {
    std::vector<std::string> out;
    for (const QJsonValue& v : list.toArray()) out.push_back(v.toString().toStdString());
    return out;
}

const char* const kOldClass =
    "( 1.3.6.1.4.1.99999.17.2.9 NAME 'kxOld' SUP top AUXILIARY MAY description )";
const char* const kNewClass =
    "( 1.3.6.1.4.1.99999.17.2.9 NAME 'kxOld' SUP top AUXILIARY MAY ( description $ kxA ) )";

TEST(LdapReconcile389, DumpPlusAdditionsAppliedThenChangedClassReplaced) {
    if (access("/usr/sbin/dscreate", X_OK) != 0)
        GTEST_FAIL() << "dscreate is missing: install 389-ds-base (scripts/setup-deps does)";
    TempDir dir;
    Ds389Server server(dir.path().string());

    // A user-defined class on the server, which Tree #1 will define otherwise.
    const std::string add =
        dir.write("old.ldif", std::string("dn: cn=schema\nchangetype: modify\n"
                                          "add: objectClasses\nobjectClasses: ") +
                                  kOldClass + "\n");
    const CliResult added = Ldap("ldapmodify", server.uri(), {"-f", add});
    ASSERT_EQ(added.status, 0) << added.err;
    const CliResult dump =
        Ldap("ldapsearch", server.uri(),
             {"-LLL", "-o", "ldif-wrap=no", "-b", "cn=schema", "-s", "base", "(objectClass=*)",
              "objectClasses", "attributeTypes", "ldapSyntaxes"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    std::string tree1 = dump.out;
    const std::size_t old = tree1.find("NAME 'kxOld'");
    ASSERT_NE(old, std::string::npos);
    const std::size_t start = tree1.rfind('\n', old) + 1;
    tree1.replace(start, tree1.find('\n', old) - start, std::string("objectClasses: ") + kNewClass);
    // Derived definitions before what they derive from: the document must reorder them.
    tree1 +=
        "attributeTypes: ( 1.3.6.1.4.1.99999.17.1.3 NAME 'kxC' SUP kxB )\n"
        "attributeTypes: ( 1.3.6.1.4.1.99999.17.1.2 NAME 'kxB' DESC 'Zwischenstufe \xC3\xBC' "
        "SUP kxA )\n"
        "attributeTypes: ( 1.3.6.1.4.1.99999.17.1.1 NAME 'kxA' SUP name )\n"
        "objectClasses: ( 1.3.6.1.4.1.99999.17.2.2 NAME 'kxSub' SUP kxThing AUXILIARY MUST kxA )\n"
        "objectClasses: ( 1.3.6.1.4.1.99999.17.2.1 NAME 'kxThing' SUP top AUXILIARY MAY ( kxB $ "
        "kxC ) )\n";
    const std::string dumpFile = dir.write("dump.ldif", tree1);
    const EnvChanges env = {
        {"KALVIX_CLIENT",
         WriteClientConfig(dir, {QJsonObject{{"kind", "ldif"},
                                             {"treeName", "DUMP"},
                                             {"file", QString::fromStdString(dumpFile)}},
                                 LdapConnection(server.uri(), "DS")})}};

    const CliResult r = RunCli({"reconcile", "-q", "tree:DUMP", "tree:DS"}, env);
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.out, Not(HasSubstr("# Not ")));
    std::vector<LdifChange> changes;
    std::string error;
    ASSERT_TRUE(ReadLdifChanges(r.out, changes, error)) << error;
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].dn, "cn=schema");
    EXPECT_EQ(changes[0].modifications.size(), 5u);
    const CliResult applied =
        Ldap("ldapmodify", server.uri(), {"-f", dir.write("fix.ldif", r.out)});
    ASSERT_EQ(applied.status, 0) << applied.err << applied.out;

    const CliResult quick =
        RunCli({"quick", "--format", "json", "-q", "tree:DUMP", "tree:DS"}, env);
    const QJsonObject lists =
        QJsonDocument::fromJson(QByteArray::fromStdString(quick.out)).object();
    EXPECT_THAT(Texts(lists["classes"].toObject()["unique1"]), IsEmpty()) << quick.err;
    EXPECT_THAT(Texts(lists["attributes"].toObject()["unique1"]), IsEmpty());
    // 389 rewrites X-ORIGIN in what it stores: that is no difference.
    EXPECT_EQ(RunCli({"reconcile", "-q", "tree:DUMP", "tree:DS"}, env).status, 0);

    // The class defined otherwise differs in its item lists until it is replaced.
    EXPECT_EQ(RunCli({"compare-classes", "-q", "tree:DUMP", "tree:DS"}, env).status, 1);
    const CliResult changed =
        RunCli({"reconcile", "--include-changed", "-q", "tree:DUMP", "tree:DS"}, env);
    ASSERT_EQ(changed.status, 1) << changed.err;
    EXPECT_THAT(changed.out, HasSubstr("delete: objectClasses\n"));
    const CliResult replaced =
        Ldap("ldapmodify", server.uri(), {"-f", dir.write("changed.ldif", changed.out)});
    ASSERT_EQ(replaced.status, 0) << replaced.err << replaced.out;
    const CliResult compared = RunCli({"compare-classes", "-q", "tree:DUMP", "tree:DS"}, env);
    EXPECT_EQ(compared.status, 0) << compared.out;
    EXPECT_EQ(RunCli({"reconcile", "--include-changed", "-q", "tree:DUMP", "tree:DS"}, env).status,
              0);
}

}  // namespace
