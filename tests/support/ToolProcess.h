#pragma once
// The command-line tools as a user runs them: a child process with its
// standard output and error collected, the simulated display, and a display
// played by the test itself on a pseudo-terminal.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "base/UniqueFd.h"
#include "support/ProcStat.h"

namespace testsupport {

using namespace std::chrono_literals;

struct TChildSetup {
    std::string cwd;                                         // empty: the test's own
    std::vector<std::pair<std::string, std::string>> env;    // set in the child
    bool closeStandard = false;                              // start with descriptors 0, 1 and 2 closed
    bool ignoreSigpipe = false;                              // as some parents leave it
    int outPipeSize = 0;                                     // a small pipe fills quickly
    std::string inFile;                                      // standard input from this file
    std::string outFile;                                     // standard output to this file instead
    std::string errFile;                                     // standard error to this file (a terminal) instead
    long fileSizeLimit = -1;                                 // RLIMIT_FSIZE in bytes; writes beyond fail with EFBIG
    std::string controllingTerminal;                         // a session of its own on this terminal, also its input
    int uid = -1;                                            // run as this user (and `gid`), for a test run as root
    int gid = -1;
};

class TChild {
public:
    TChild(const char* program, const std::vector<std::string>& args, const TChildSetup& setup = {})
    {
        int outPipe[2];
        int errPipe[2];
        if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        if (setup.outPipeSize > 0)
            fcntl(outPipe[1], F_SETPIPE_SZ, setup.outPipeSize);
        pid_ = fork();
        if (pid_ == 0) {
            if (setup.closeStandard) {
                close(0);
                close(1);
                close(2);
            } else {
                dup2(outPipe[1], STDOUT_FILENO);
                dup2(errPipe[1], STDERR_FILENO);
                if (!setup.inFile.empty())
                    dup2(open(setup.inFile.c_str(), O_RDONLY), STDIN_FILENO);
                if (!setup.outFile.empty())
                    dup2(open(setup.outFile.c_str(), O_WRONLY), STDOUT_FILENO);
                if (!setup.errFile.empty())
                    dup2(open(setup.errFile.c_str(), O_WRONLY | O_NOCTTY), STDERR_FILENO);
            }
            if (setup.fileSizeLimit >= 0) {
                const rlimit limit{static_cast<rlim_t>(setup.fileSizeLimit), static_cast<rlim_t>(setup.fileSizeLimit)};
                setrlimit(RLIMIT_FSIZE, &limit);
                signal(SIGXFSZ, SIG_IGN);
            }
            if (setup.ignoreSigpipe)
                signal(SIGPIPE, SIG_IGN);
            if (!setup.controllingTerminal.empty()) {
                // A session leader opening a terminal without O_NOCTTY makes it the session's terminal.
                const int tty = setsid() < 0 ? -1 : open(setup.controllingTerminal.c_str(), O_RDWR);
                if (tty < 0 || ioctl(tty, TIOCSCTTY, 0) != 0 || dup2(tty, STDIN_FILENO) < 0)
                    _exit(126);
            }
            if (setup.uid >= 0) {
                const gid_t gid = static_cast<gid_t>(setup.gid);
                if (setgroups(1, &gid) != 0 || setgid(gid) != 0 || setuid(static_cast<uid_t>(setup.uid)) != 0)
                    _exit(126);
            }
            if (!setup.cwd.empty() && chdir(setup.cwd.c_str()) != 0)
                _exit(126);
            for (const auto& [name, value] : setup.env)
                setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> argv{const_cast<char*>(program)};
            std::vector<std::string> copy = args;
            for (auto& a : copy)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program, argv.data());
            _exit(127);
        }
        close(outPipe[1]);
        close(errPipe[1]);
        out_.reset(outPipe[0]);
        err_.reset(errPipe[0]);
    }

    ~TChild()
    {
        if (!finished_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;

    pid_t pid() const { return pid_; }

    // Reads one line of standard output, waiting at most `wait`.
    std::string readLine(std::chrono::milliseconds wait = 5000ms)
    {
        std::string line;
        char c;
        pollfd pfd{out_.get(), POLLIN, 0};
        while (poll(&pfd, 1, static_cast<int>(wait.count())) > 0 && read(out_.get(), &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }

    // Stops reading standard output: the child's next write finds no reader.
    void closeOutput() { out_.reset(); }

    // True when the child ends within `limit`, its output left unread.
    bool endsWithin(std::chrono::milliseconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            if (waitpid(pid_, &status_, WNOHANG) == pid_) {
                reaped_ = true;
                return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    // Collects both streams until the child ends and returns its exit status
    // (128 + the signal that ended it); a child still running after `limit`
    // is killed and the test fails.
    int finish(std::chrono::milliseconds limit = 20000ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        bool outOpen = out_.valid();
        bool errOpen = err_.valid();
        while (outOpen || errOpen) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left <= 0ms) {
                ADD_FAILURE() << "child still running";
                kill(pid_, SIGKILL);
                break;
            }
            pollfd pfd[2] = {{outOpen ? out_.get() : -1, POLLIN, 0}, {errOpen ? err_.get() : -1, POLLIN, 0}};
            if (poll(pfd, 2, static_cast<int>(left.count())) <= 0)
                continue;
            char buf[4096];
            for (int i = 0; i < 2; ++i) {
                bool& open = i == 0 ? outOpen : errOpen;
                if (!open || !pfd[i].revents)
                    continue;
                const ssize_t n = read(pfd[i].fd, buf, sizeof buf);
                if (n > 0)
                    (i == 0 ? out : err).append(buf, static_cast<std::size_t>(n));
                else
                    open = false;
            }
        }
        if (!reaped_)
            waitpid(pid_, &status_, 0);
        finished_ = true;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }

    std::string out;
    std::string err;

private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool reaped_ = false;
    bool finished_ = false;
    UniqueFd out_;
    UniqueFd err_;
};

// The simulated display; its first line of output is its device.
class TSim {
public:
    TSim(const char* program, const std::vector<std::string>& args, bool mustStart = true)
        : child_(program, args), path_(child_.readLine())
    {
        if (path_.empty() && mustStart)
            throw std::runtime_error("dadiz-sim did not start");
    }
    ~TSim()
    {
        if (!stopped_)
            stop(SIGTERM);
    }

    const std::string& path() const { return path_; }
    pid_t pid() const { return child_.pid(); }

    // Sends `signal` and returns the exit status.
    int stop(int signal)
    {
        kill(child_.pid(), signal);
        stopped_ = true;
        return child_.finish();
    }

    // Everything written to standard error; after stop().
    const std::string& log() const { return child_.err; }

private:
    TChild child_;
    std::string path_;
    bool stopped_ = false;
};

// A display played by the test: the far side of a pseudo-terminal answers
// each request (its bytes up to CR) with what `answer` returns; an empty
// answer is silence.
class TFakeDisplay {
public:
    explicit TFakeDisplay(std::function<std::string(const std::string&)> answer) : answer_(std::move(answer))
    {
        int m = -1;
        int s = -1;
        char name[128] = {};
        if (openpty(&m, &s, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        master_.reset(m);
        slave_.reset(s); // held, so that the tool may close and reopen its side
        path_ = name;
        thread_ = std::thread([this] { serve(); });
    }
    ~TFakeDisplay()
    {
        stop_ = true;
        thread_.join();
    }

    const std::string& path() const { return path_; }

private:
    void serve()
    {
        std::string request;
        while (!stop_) {
            pollfd pfd{master_.get(), POLLIN, 0};
            if (poll(&pfd, 1, 20) <= 0)
                continue;
            char buf[256];
            const ssize_t n = read(master_.get(), buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                request += buf[i];
                if (buf[i] != '\r')
                    continue;
                const std::string reply = answer_(request);
                request.clear();
                if (!reply.empty() && write(master_.get(), reply.data(), reply.size()) < 0)
                    return;
            }
        }
    }

    std::function<std::string(const std::string&)> answer_;
    UniqueFd master_;
    UniqueFd slave_;
    std::string path_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace testsupport
