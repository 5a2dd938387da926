#pragma once

// The unitsim program as a child process, for the end-to-end tests and the benchmarks that need
// the simulated unit on a real pseudo-terminal, and the tests of unitsim itself. POSIX only; header-only, so builds without
// pseudo-terminals never compile it.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace kalvo::test {

// Reads from a non-blocking descriptor until done(into) holds, the descriptor ends or the deadline
// passes.
template <typename Done>
void ReadUntil(int fd, std::string& into, std::chrono::steady_clock::time_point deadline, Done done)
{
    while (!done(into)) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd readable{fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return;
        char buffer[4096];
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (count <= 0)
            return;  // end of file or hang-up
        into.append(buffer, static_cast<std::size_t>(count));
    }
}

class UnitsimProcess {
public:
    using Clock = std::chrono::steady_clock;

    // Starts the program with the arguments. Standard output is captured (the terminal's path);
    // standard error is captured when asked for (the --log lines), otherwise it is shared with this
    // process. A captured output must be read now and then, or the program blocks once the pipe
    // is full. Throws std::runtime_error when the program cannot be started.
    UnitsimProcess(const std::string& program, const std::vector<std::string>& arguments,
                   bool captureErrors = false)
    {
        int out[2] = {-1, -1};
        int err[2] = {-1, -1};
        if (::pipe2(out, O_CLOEXEC) < 0 || (captureErrors && ::pipe2(err, O_CLOEXEC) < 0)) {
            CloseAll({out[0], out[1]});
            throw std::runtime_error("cannot create pipes for " + program);
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (captureErrors)
            posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);

        std::vector<std::string> args{program};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        const int failed = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);

        CloseAll({out[1], err[1]});
        out_ = out[0];
        err_ = err[0];
        if (failed) {
            CloseAll({out_, err_});
            throw std::runtime_error("cannot start " + program);
        }
        for (int fd : {out_, err_})
            if (fd >= 0)
                ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }

    // Ends the program at once, as when the adapter is pulled, and waits for it.
    ~UnitsimProcess()
    {
        if (!exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        CloseAll({out_, err_});
    }

    UnitsimProcess(const UnitsimProcess&) = delete;
    UnitsimProcess& operator=(const UnitsimProcess&) = delete;

    // The next line the program prints on standard output, without its line end; empty when no
    // whole line came within the limit or the program ended.
    std::string NextLine(std::chrono::milliseconds limit)
    {
        ReadUntil(out_, output_, Clock::now() + limit,
                  [](const std::string& text) { return text.find('\n') != std::string::npos; });
        const std::size_t end = output_.find('\n');
        if (end == std::string::npos)
            return {};
        std::string line = output_.substr(0, end);
        output_.erase(0, end + 1);
        return line;
    }

    // Standard error as captured so far, read on until it holds the text or the limit passed.
    const std::string& ErrorOutputWith(const std::string& text, std::chrono::milliseconds limit)
    {
        if (err_ >= 0)
            ReadUntil(err_, errors_, Clock::now() + limit,
                      [&](const std::string& soFar) { return soFar.find(text) != std::string::npos; });
        return errors_;
    }

    // Exit code once the program has ended and its output is read, or -1 when it did not exit
    // normally within the limit (EndingSignal then tells whether a signal ended it).
    int WaitForExit(std::chrono::milliseconds limit)
    {
        const auto deadline = Clock::now() + limit;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline)
                return -1;
            ::poll(nullptr, 0, 10);
        }
        exited_ = true;
        endingSignal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        const auto readAll = [](const std::string&) { return false; };
        ReadUntil(out_, output_, deadline, readAll);
        if (err_ >= 0)
            ReadUntil(err_, errors_, deadline, readAll);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Signal(int signal) { ::kill(pid_, signal); }
    // The signal that ended the program, 0 when it exited or has not ended.
    int EndingSignal() const { return endingSignal_; }
    // Standard output and error as read so far (all of them after WaitForExit).
    const std::string& Output() const { return output_; }
    const std::string& ErrorOutput() const { return errors_; }

private:
    static void CloseAll(std::initializer_list<int> fds)
    {
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    bool exited_ = false;
    int endingSignal_ = 0;
    std::string output_;
    std::string errors_;
};

}  // namespace kalvo::test
