// A throwaway Samba Active Directory domain controller (realm KALVIX.TEST) serving only
// LDAP on 127.0.0.1, provisioned in a temporary folder with a certificate from a test CA.
// Its ports are AD's fixed ones (389, 636), so only one runs on the machine at a time: the
// tests that use it carry a CTest resource lock, and test runs side by side take turns. The server
// runs under a guardian (ServerSupport.h) that stops it and removes its folder however the test
// process ends.
#pragma once

#include <memory>
#include <string>

#include "ServerSupport.h"
#include "SlapdServer.h"

class SambaDcServer {
  public:
    // Provisions the domain and waits until the server answers; throws std::runtime_error
    // with samba-tool's output or the server's log when it does not.
    SambaDcServer();
    ~SambaDcServer();
    SambaDcServer(const SambaDcServer&) = delete;
    SambaDcServer& operator=(const SambaDcServer&) = delete;

    void stop();

    std::string uri() const { return "ldap://127.0.0.1/"; }
    std::string ldapsUri() const { return "ldaps://127.0.0.1/"; }
    const std::string& caFile() const { return tls_.caFile; }
    std::string bindDn() const { return "CN=Administrator,CN=Users,DC=kalvix,DC=test"; }
    const std::string& passwordFile() const { return passwordFile_; }
    std::string subschemaDn() const {
        return "CN=Aggregate,CN=Schema,CN=Configuration,DC=kalvix,DC=test";
    }
    // Where new attributeSchema and classSchema objects go.
    std::string schemaContainer() const { return "CN=Schema,CN=Configuration,DC=kalvix,DC=test"; }
    const std::string& folder() const { return dir_; }
    std::string log() const;

  private:
    void provision();
    void start();

    // Taken first and let go last: test runs side by side take turns with the ports.
    std::unique_ptr<testserver::MachineLock> ports_;
    std::string dir_;
    std::string passwordFile_;
    TestAuthority tls_;
    std::unique_ptr<testserver::GuardedServer> process_;
};
