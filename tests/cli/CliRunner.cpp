#include "CliRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

extern char** environ;

namespace {

std::vector<std::string> Environment(const EnvChanges& changes) {
    EnvChanges all = changes;
    if (!all.contains("KALVIX_CLIENT")) all["KALVIX_CLIENT"] = "/nonexistent/kalvix-client.json";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string key = entry.substr(0, entry.find('='));
        if (!all.contains(key)) env.push_back(entry);
    }
    for (const auto& [key, value] : all)
        if (!value.empty()) env.push_back(key + "=" + value);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& t : texts) pointers.push_back(t.data());
    pointers.push_back(nullptr);
    return pointers;
}

// In the child: becomes the program, or ends with 127 as a shell would.
[[noreturn]] void Exec(const std::string& program, const std::vector<std::string>& args,
                       const EnvChanges& env, const std::string& workDir) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = Environment(env);
    auto argvp = Pointers(argv);
    auto envpp = Pointers(envp);
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) _exit(127);
    const int devNull = open("/dev/null", O_RDONLY);
    if (devNull >= 0) dup2(devNull, STDIN_FILENO);
    execve(program.c_str(), argvp.data(), envpp.data());
    _exit(127);
}

// Reads both descriptors to their end (a pseudo-terminal ends with EIO). A program that
// is still running after two minutes hangs: it is killed, and its status says so.
void Drain(int outFd, int errFd, CliResult& result, pid_t pid) {
    pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int ready = poll(fds, 2, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready == 0) {
            kill(pid, SIGKILL);
            break;
        }
        if (ready < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[i].fd = -1;
                --open;
            }
        }
    }
}

int Wait(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

CliResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const EnvChanges& env, const std::string& workDir) {
    int out[2];
    int err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        Exec(program, args, env, workDir);
    }
    close(out[1]);
    close(err[1]);
    CliResult result;
    Drain(out[0], err[0], result, pid);
    close(out[0]);
    close(err[0]);
    result.status = Wait(pid);
    return result;
}

CliResult RunCli(const std::vector<std::string>& args, const EnvChanges& env,
                 const std::string& workDir) {
    return RunProgram(KALVIX_CLI, args, env, workDir);
}

CliResult RunCliWithTerminal(const std::vector<std::string>& args, const EnvChanges& env) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) throw std::runtime_error("forkpty failed");
    if (pid == 0) {
        // Standard error stays on the terminal; standard output goes to the pipe.
        dup2(out[1], STDOUT_FILENO);
        Exec(KALVIX_CLI, args, env, {});
    }
    close(out[1]);
    CliResult result;
    Drain(out[0], terminal, result, pid);
    close(out[0]);
    close(terminal);
    result.status = Wait(pid);
    return result;
}

std::string CliData(const std::string& name) { return std::string(KALVIX_CLI_DATA) + "/" + name; }

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
