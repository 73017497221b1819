// The guardian that stops a test server and removes what it leaves, whether the tests end
// normally or their process is killed, and the lock that serialises fixed-port servers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "ServerSupport.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

bool Exists(pid_t pid) {
    // A server the guardian has not reaped yet counts as gone.
    const std::string stat = testserver::ReadFile("/proc/" + std::to_string(pid) + "/stat");
    const std::size_t end = stat.rfind(") ");
    return end != std::string::npos && stat[end + 2] != 'Z';
}

template <class Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

TEST(GuardedServer, StopEndsTheServerAndRemovesItsLeftovers) {
    const std::string folder = testserver::MakeFolder("kalvix-guard-XXXXXX");
    testserver::WriteFile(folder + "/data", "x");
    const std::string spare = folder + ".extra";
    testserver::WriteFile(spare, "y");
    testserver::GuardedServer server({"/bin/sleep", "1000"}, folder + "/server.log",
                                     {folder, spare});
    const pid_t pid = server.pid();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(server.running());
    EXPECT_TRUE(fs::exists(folder + "/data"));

    server.stop();
    EXPECT_FALSE(server.running());
    EXPECT_FALSE(Exists(pid));
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(spare));
    server.stop();  // again: nothing left to do
}

TEST(GuardedServer, AServerThatEndsByItselfIsSeenAsEnded) {
    const std::string folder = testserver::MakeFolder("kalvix-guard-XXXXXX");
    testserver::GuardedServer server({"/bin/sh", "-c", "echo started; exit 3"},
                                     folder + "/server.log", {folder});
    EXPECT_TRUE(Eventually([&] { return !server.running(); }));
    EXPECT_EQ(testserver::ReadFile(folder + "/server.log"), "started\n");
}

TEST(GuardedServer, ATestProcessKilledOutrightLeavesNoServerAndNoFolder) {
    const std::string folder = testserver::MakeFolder("kalvix-guard-XXXXXX");
    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t test = fork();
    ASSERT_GE(test, 0);
    if (test == 0) {
        // The "test process": starts a server, says its pid, and waits to be killed.
        close(report[0]);
        testserver::GuardedServer server({"/bin/sleep", "1000"}, folder + "/server.log", {folder});
        const pid_t pid = server.pid();
        if (write(report[1], &pid, sizeof pid) != sizeof pid) _exit(1);
        for (;;) pause();
    }
    close(report[1]);
    pid_t pid = -1;
    ASSERT_EQ(read(report[0], &pid, sizeof pid), static_cast<ssize_t>(sizeof pid));
    close(report[0]);
    ASSERT_TRUE(Exists(pid));

    kill(test, SIGKILL);
    waitpid(test, nullptr, 0);
    EXPECT_TRUE(Eventually([&] { return !Exists(pid) && !fs::exists(folder); }))
        << "server " << pid << " or " << folder << " is still there";
}

TEST(GuardedServer, AJobLetFinishRunsToItsEndBeforeItsLeftoversGo) {
    const std::string folder = testserver::MakeFolder("kalvix-guard-XXXXXX");
    const std::string done = folder + ".done";
    {
        testserver::GuardedServer job(
            {"/bin/sh", "-c", "sleep 0.3; echo finished >" + testserver::ShellQuoted(done)},
            folder + "/job.log", {folder}, testserver::GuardedServer::Ending::LetFinish);
    }  // as if the tests ended while it ran
    EXPECT_EQ(testserver::ReadFile(done), "finished\n");
    EXPECT_FALSE(fs::exists(folder));
    fs::remove(done);
}

TEST(GuardedServer, ReleasedLeftoversStayForTheNextGuardian) {
    const std::string folder = testserver::MakeFolder("kalvix-guard-XXXXXX");
    testserver::GuardedServer job({"/bin/true"}, folder + "/job.log", {folder},
                                  testserver::GuardedServer::Ending::LetFinish);
    ASSERT_TRUE(Eventually([&] { return !job.running(); }));
    job.release();
    EXPECT_TRUE(fs::exists(folder));
    testserver::GuardedServer next({"/bin/sleep", "1000"}, folder + "/server.log", {folder});
    next.stop();
    EXPECT_FALSE(fs::exists(folder));
}

TEST(MachineLock, OneHolderAtATime) {
    const std::string name = "kalvix-test-lock-" + std::to_string(getpid());
    {
        testserver::MachineLock first(name, 0s);
        EXPECT_THROW(testserver::MachineLock(name, 0s), std::runtime_error);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_THROW(testserver::MachineLock(name, 1s), std::runtime_error);
        EXPECT_GE(std::chrono::steady_clock::now() - started, 1s);
    }
    EXPECT_NO_THROW(testserver::MachineLock(name, 0s));
}

}  // namespace
