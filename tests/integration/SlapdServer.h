// A throwaway OpenLDAP server for one test: its own folder, slapd.conf, database and port
// on 127.0.0.1, started in the foreground and stopped when the object goes, however the
// test ends; should the test process die, the kernel ends slapd with it. Needs only the
// standard library, libldap and POSIX, so the benchmarks can use it too.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class SlapdServer {
  public:
    struct Options {
        // Schema files to include, in order: names of Debian's (core, cosine, ...) or paths.
        std::vector<std::string> schemas = {"core", "cosine", "inetorgperson", "nis"};
        // Root DSE values added through a rootDSE file (slapd refuses them as operational
        // attributes, so a schema must define them as ordinary ones).
        std::vector<std::pair<std::string, std::string>> rootDse;
        std::string suffix = "dc=example,dc=com";
        std::string rootDn = "cn=admin,dc=example,dc=com";
        std::string rootPassword = "secret";
        // Not empty: the configuration is converted to a cn=config folder (slaptest -F)
        // and the server runs from it, its config database bound as cn=config with this
        // password, so a test can change the schema over LDAP.
        std::string configPassword;
        // Also listen with TLS (ldaps://) using this certificate and key.
        std::string certificateFile;
        std::string keyFile;
    };

    // Starts the server and waits until it answers; throws std::runtime_error with the
    // server's own log when it does not.
    explicit SlapdServer(Options options);
    SlapdServer() : SlapdServer(Options{}) {}
    ~SlapdServer();
    SlapdServer(const SlapdServer&) = delete;
    SlapdServer& operator=(const SlapdServer&) = delete;

    // Stops the server (SIGINT, then SIGKILL after a few seconds); again is harmless.
    void stop();
    // Stops and restarts it with the same configuration and ports.
    void restart();

    std::string uri() const;       // ldap://127.0.0.1:PORT/
    std::string ldapsUri() const;  // ldaps://127.0.0.1:PORT/, when TLS was asked for
    const std::string& folder() const { return dir_; }
    std::string log() const;
    // The cn=config folder, when the server runs from one.
    std::string configFolder() const { return dir_ + "/slapd.d"; }

    // The path of a Debian schema file by name ("nis"), or the argument when it is a path.
    static std::string SchemaPath(const std::string& nameOrPath);

  private:
    void start();
    void ConvertToConfigFolder();

    std::string dir_;  // removed with everything in it when the server goes
    Options options_;
    int port_ = 0;
    int tlsPort_ = 0;
    pid_t pid_ = -1;
};

// A free TCP port on 127.0.0.1 at the moment of asking.
int FreeLoopbackPort();

// A self-signed certificate for 127.0.0.1 made with openssl in folder; the key beside it.
struct TestCertificate {
    std::string certificateFile;
    std::string keyFile;
};
TestCertificate MakeSelfSignedCertificate(const std::string& folder, const std::string& name);

// A test CA and a server certificate it signed for 127.0.0.1, made with openssl in folder.
struct TestAuthority {
    std::string caFile;
    TestCertificate server;
};
TestAuthority MakeCaSignedCertificate(const std::string& folder, const std::string& name);
