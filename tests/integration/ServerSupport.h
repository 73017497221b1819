// What the throwaway directory servers of the tests share: folders, files, a readiness
// probe, shell quoting, and a guardian that stops a server however the test process ends.
// Standard library, libldap and POSIX only, so the benchmarks can use them too.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace testserver {

// A new folder in the temporary folder, named from pattern ("kalvix-389-XXXXXX").
std::string MakeFolder(const std::string& pattern);
void RemoveFolder(const std::string& folder);
void WriteFile(const std::string& path, const std::string& text, int mode = 0644);
std::string ReadFile(const std::string& path);
// s in single quotes for /bin/sh, inner quotes escaped.
std::string ShellQuoted(const std::string& s);
// Runs a shell command line with output into logPath; throws with the log when it fails.
void RunLogged(const std::string& what, const std::string& command, const std::string& logPath);

// The root DSE answers a read (anonymous, or as bindDn with the password): the server is up.
bool Answers(const std::string& uri, const std::string& bindDn = {},
             const std::string& password = {});

// A socket bound on 127.0.0.1 (port 0: any free one, then written back).
int BoundSocket(int& port);

// A lock held by one process of the machine at a time (an abstract Unix socket's name, so
// no file stays behind and a process that dies lets go of it). Waits up to limit for it;
// throws std::runtime_error after that.
class MachineLock {
  public:
    MachineLock(const std::string& name, std::chrono::seconds limit);
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

  private:
    int fd_ = -1;
};

// A server process watched by a guardian shell in a session of its own. The guardian
// starts the server, then waits on a pipe that closes when the test process ends, however
// it ends (a failed assertion, an exception, SIGKILL), or when stop() is called; it then
// ends the server with SIGTERM and removes the leftovers (folders and files) it was given.
class GuardedServer {
  public:
    enum class Ending {
        Terminate,  // SIGTERM, then the leftovers go
        LetFinish,  // a job that must not stop half-way: wait for it, then the leftovers go
    };
    GuardedServer(const std::vector<std::string>& args, const std::string& logPath,
                  const std::vector<std::string>& leftovers, Ending ending = Ending::Terminate);
    ~GuardedServer();
    GuardedServer(const GuardedServer&) = delete;
    GuardedServer& operator=(const GuardedServer&) = delete;

    // Ends the server (SIGKILL when SIGTERM has not ended it within the limit) and waits
    // until the leftovers are gone; again is harmless.
    void stop();
    // For a job that has ended: the guardian goes, and leaves the leftovers in place for
    // the guardian that takes over.
    void release();
    // The server process exists and has not ended.
    bool running() const;
    pid_t pid() const { return server_; }

  private:
    pid_t guardian_ = -1;
    pid_t server_ = -1;
    int pipe_ = -1;  // the write end; closing it tells the guardian to stop
};

}  // namespace testserver
