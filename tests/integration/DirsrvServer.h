// A throwaway 389 Directory Server: a private root (its own copy of the server's data and
// configuration files) in a temporary folder, one instance of a name of its own, plain and
// TLS ports on 127.0.0.1 and a certificate from a test CA. Creating one takes about ten
// seconds, so a test executable makes one and shares it. The server runs under a guardian
// (ServerSupport.h) that stops it and removes its folder and its /dev/shm semaphore
// however the test process ends.
#pragma once

#include <memory>
#include <string>

#include "ServerSupport.h"
#include "SlapdServer.h"

class DirsrvServer {
  public:
    // Creates the instance and waits until it answers; throws std::runtime_error with the
    // tools' output or the server's error log when it does not.
    DirsrvServer();
    ~DirsrvServer();
    DirsrvServer(const DirsrvServer&) = delete;
    DirsrvServer& operator=(const DirsrvServer&) = delete;

    // Stops the server and removes everything it had; again is harmless.
    void stop();

    std::string uri() const;       // ldap://127.0.0.1:PORT/
    std::string ldapsUri() const;  // ldaps://127.0.0.1:PORT/
    const std::string& caFile() const { return tls_.caFile; }
    std::string bindDn() const { return "cn=Directory Manager"; }
    // The root password alone (no line end), readable by its owner only.
    const std::string& passwordFile() const { return passwordFile_; }
    std::string subschemaDn() const { return "cn=schema"; }
    std::string suffix() const { return "dc=kalvix,dc=test"; }
    const std::string& folder() const { return dir_; }
    const std::string& instance() const { return instance_; }
    std::string errorLog() const;

  private:
    void prepareRoot();
    // Creates the instance under a guardian that, should the test process end meanwhile,
    // lets dscreate finish and then removes the folder; installs the certificate while
    // still guarded.
    void create();
    void installCertificate();
    void setPorts();
    void start();
    // Named after the instance; a server that is killed leaves it behind.
    std::string semaphore() const;

    std::string dir_;
    std::string root_;
    std::string instance_;
    std::string passwordFile_;
    TestAuthority tls_;
    int port_ = 0;
    int tlsPort_ = 0;
    std::unique_ptr<testserver::GuardedServer> process_;
};
