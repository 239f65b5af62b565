#pragma once

// A program of the project run as a child process, as a user runs it: its standard error is
// read line by line through a pipe, and signals reach it when the test says. The pipe holds
// only 64 KiB: a child that writes more stops until the test reads on, which lets a test hold
// a run at a point of its choosing.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class Program {
public:
    // `inChild` runs in the child before the program starts (limits, signal dispositions).
    explicit Program(const std::vector<std::string>& args,
                     const std::function<void()>& inChild = {}) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], STDERR_FILENO);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, STDOUT_FILENO);
            if (inChild) inChild();
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        errors = fds[0];
    }
    ~Program() {
        if (pid > 0 && !exited) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (errors >= 0) ::close(errors);
    }
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The next line of standard error, or nothing once it has ended. A child that writes
    // nothing for a minute is taken as hanging: the test fails and the child is killed.
    std::optional<std::string> readLine() {
        for (;;) {
            const std::size_t end = buffer.find('\n');
            if (end != std::string::npos) {
                std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                all += line + "\n";
                return line;
            }
            if (errors < 0) return std::nullopt;
            pollfd p{errors, POLLIN, 0};
            if (::poll(&p, 1, 60000) != 1) {
                ADD_FAILURE() << "the program wrote nothing for a minute";
                ::kill(pid, SIGKILL);
                return std::nullopt;
            }
            char chunk[4096];
            const ssize_t n = ::read(errors, chunk, sizeof chunk);
            if (n <= 0) {
                if (buffer.empty()) return std::nullopt;
                buffer += '\n';
                continue;
            }
            buffer.append(chunk, static_cast<std::size_t>(n));
        }
    }

    void signal(int signo) const { ::kill(pid, signo); }
    pid_t processId() const { return pid; }

    // Stops reading standard error, as `| head -1` does after its line: the child's next
    // write finds no reader.
    void closeErrors() {
        if (errors >= 0) ::close(errors);
        errors = -1;
        buffer.clear();
    }

    // Reads standard error to its end and returns the exit status; 128 + the signal number
    // for a child ended by a signal.
    int wait() {
        while (readLine()) {
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        exited = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Everything read from standard error so far.
    const std::string& errorText() const { return all; }

private:
    pid_t pid = -1;
    int errors = -1;
    bool exited = false;
    std::string buffer, all;
};
