#pragma once

// Runs vantrel-cli as a child process (POSIX only), for the tests that need
// a live meter on a pseudo-terminal or a program stopped by a signal.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace vantrel::testing {

// vantrel-cli as a child whose standard output the test reads; killed at
// the end of the test whatever happened.
class cli_child {
public:
    // Standard error goes to `stderr_path` when one is given.
    explicit cli_child(const std::vector<std::string>& args, const std::string& stderr_path = "")
    {
        int fds[2];
        if (pipe(fds) != 0)
            throw std::runtime_error("no pipe");
        out_ = fds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        if (!stderr_path.empty())
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderr_path.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> all = {VANTREL_CLI};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, VANTREL_CLI, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (rc != 0)
            throw std::runtime_error("cannot start " + std::string(VANTREL_CLI));
    }
    ~cli_child()
    {
        if (pid_ > 0 && !wait_for(std::chrono::milliseconds(0))) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        ::close(out_);
    }
    cli_child(const cli_child&) = delete;
    cli_child& operator=(const cli_child&) = delete;

    // The first line of standard output, without its end; empty on time-out.
    std::string first_line(std::chrono::milliseconds limit)
    {
        std::string line;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            char ch = 0;
            if (::read(out_, &ch, 1) != 1)
                break;
            if (ch == '\n')
                return line;
            line += ch;
        }
        return {};
    }

    void signal(int sig) const { kill(pid_, sig); }

    // True once the child has ended within the limit; its status is kept.
    bool wait_for(std::chrono::milliseconds limit)
    {
        if (status_)
            return true;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        do {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                status_ = status;
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    bool exited_cleanly() const { return exit_code() == 0; }
    // The exit code once ended normally; -1 otherwise.
    int exit_code() const { return status_ && WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -1; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::optional<int> status_;
};

} // namespace vantrel::testing
