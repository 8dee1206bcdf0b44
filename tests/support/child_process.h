// A program run as a child process of a test, started with posix_spawn. Spawning keeps the
// test process from forking while Qt's threads run, which ThreadSanitizer's runtime cannot
// follow; the child execs at once.
#pragma once

#include <QElapsedTimer>
#include <QTest>
#include <csignal>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace velkan::test {

class ChildProcess {
public:
    // Starts `program` with `arguments` and the test's environment plus `extraEnvironment`
    // ("NAME=value" entries, which win over inherited ones of the same name).
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& extraEnvironment = {}) {
        std::vector<std::string> environment = extraEnvironment;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text(*entry);
            const std::string name = text.substr(0, text.find('=') + 1);
            bool overridden = false;
            for (const auto& extra : extraEnvironment) {
                overridden = overridden || extra.rfind(name, 0) == 0;
            }
            if (!overridden) {
                environment.push_back(text);
            }
        }
        std::vector<std::string> argv = {program};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        if (::posix_spawn(&pid_, program.c_str(), nullptr, nullptr, pointers(argv).data(),
                          pointers(environment).data()) != 0) {
            pid_ = -1;
        }
    }

    ~ChildProcess() {
        if (running()) {
            kill();
        }
    }

    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    bool running() { return started() && !status_ && !reap(WNOHANG); }

    // Waits up to `milliseconds`, keeping the test's event loop going; the exit code when the
    // child ended normally in time, nullopt otherwise.
    std::optional<int> waitForExit(int milliseconds) {
        QElapsedTimer waited;
        waited.start();
        while (running() && waited.elapsed() < milliseconds) {
            QTest::qWait(20);
        }
        if (!status_ || !WIFEXITED(*status_)) {
            return std::nullopt;
        }
        return WEXITSTATUS(*status_);
    }

    // Ends the child at once, as a crash or a user's kill would.
    void kill() {
        if (running()) {
            ::kill(pid_, SIGKILL);
            reap(0);
        }
    }

private:
    bool reap(int options) {
        int status = 0;
        if (::waitpid(pid_, &status, options) != pid_) {
            return false;
        }
        status_ = status;
        return true;
    }

    static std::vector<char*> pointers(std::vector<std::string>& texts) {
        std::vector<char*> result;
        for (auto& text : texts) {
            result.push_back(text.data());
        }
        result.push_back(nullptr);
        return result;
    }

    pid_t pid_ = -1;
    std::optional<int> status_;
};

} // namespace velkan::test
