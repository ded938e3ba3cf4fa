// Runs the built quillbox program the way a user does: in a working folder of its own, with
// a given text on its standard input, collecting its standard output, its standard error
// and its exit status.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "command_line.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace console_run {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;     // exit status as the shell sees it (-1 shows as 255); -1 when killed
    std::string output;  // everything written on standard output
    std::string errors;  // everything written on standard error
};

// How the program is started, beyond its arguments.
struct RunSetting {
    std::string input;           // its standard input
    std::string standardOutput;  // a file to use as standard output instead ("/dev/full")
    bool unprivileged = false;   // started as user and group 65534 when run as root, so that
                                 // files without read rights stay unreadable to it
    std::vector<std::string> environment;  // "NAME=value" settings added to its environment
};

inline std::string readFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// Writes `text` to `path`, creating the folders on the way.
inline void writeFile(const fs::path& path, const std::string& text) {
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// A new empty folder under the system's temporary folder, removed with its contents.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix = "quillbox-test") {
        std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

// Runs the program with `arguments` in `folder` as `setting` says. Standard input, output
// and error go through files outside the folder, so they never match a name pattern and a
// program that stops reading early cannot block the test.
inline Outcome runQuillbox(const fs::path& folder, const std::vector<std::string>& arguments,
                           const RunSetting& setting) {
    TempFolder streams("quillbox-streams");
    const fs::path inPath = streams / "stdin";
    const fs::path outPath =
        setting.standardOutput.empty() ? streams / "stdout" : fs::path(setting.standardOutput);
    const fs::path errorPath = streams / "stderr";
    writeFile(inPath, setting.input);
    Outcome result;
    const pid_t child = fork();
    if (child < 0) return result;
    if (child == 0) {
        const int in = open(inPath.c_str(), O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int error = open(errorPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || error < 0) _exit(120);
        if (setting.unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(122);
        if (chdir(folder.c_str()) != 0) _exit(120);
        for (const std::string& setting : setting.environment) putenv(const_cast<char*>(setting.c_str()));
        dup2(in, 0);
        dup2(out, 1);
        dup2(error, 2);
        std::vector<char*> argv{const_cast<char*>(QUILLBOX_CONSOLE_BINARY)};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(121);
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (setting.standardOutput.empty()) result.output = readFile(outPath);
    result.errors = readFile(errorPath);
    return result;
}

// Whether RunSetting::unprivileged works here: a process that is not root has no powers to
// drop, and root may drop them unless the system forbids it.
inline bool canRunUnprivileged() {
    if (geteuid() != 0) return true;
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) _exit(setgid(65534) == 0 && setuid(65534) == 0 ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// How a run in the background is started.
struct BackgroundSetting {
    std::vector<std::string> environment;  // "NAME=value" settings added to its environment
    bool unprivileged = false;             // as RunSetting::unprivileged
    bool outputPipe = false;  // standard output a pipe that the test reads and may close
    int umask = -1;           // its file creation mask; -1 keeps the test's
};

// The program running in the background, for what happens while it runs: its standard input
// is a pipe that stays open until finish(), so that it waits at a question; its standard
// output is a file read at any time, or a pipe; its standard error is a file. A run still
// going when the object ends is killed.
class BackgroundRun {
public:
    BackgroundRun(const fs::path& folder, const std::vector<std::string>& arguments,
                  const BackgroundSetting& setting = {})
        : streams_("quillbox-streams"), outputPath_(streams_ / "stdout"),
          errorPath_(streams_ / "stderr") {
        int in[2] = {-1, -1}, out[2] = {-1, -1};
        if (pipe2(in, O_CLOEXEC) != 0) return;
        if (setting.outputPipe && pipe2(out, O_CLOEXEC) != 0) {
            ::close(in[0]);
            ::close(in[1]);
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            const int output = setting.outputPipe
                                   ? out[1]
                                   : open(outputPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int error = open(errorPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (output < 0 || error < 0) _exit(120);
            if (setting.unprivileged && geteuid() == 0 &&
                (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(122);
            if (chdir(folder.c_str()) != 0) _exit(120);
            // The program gets the signals' default actions, whatever the test runner set.
            sigset_t none;
            sigemptyset(&none);
            sigprocmask(SIG_SETMASK, &none, nullptr);
            for (const int number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) ::signal(number, SIG_DFL);
            if (setting.umask >= 0) ::umask(static_cast<mode_t>(setting.umask));
            for (const std::string& entry : setting.environment) {
                const size_t equals = entry.find('=');
                setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
            }
            dup2(in[0], 0);
            dup2(output, 1);
            dup2(error, 2);
            std::vector<char*> argv{const_cast<char*>(QUILLBOX_CONSOLE_BINARY)};
            for (const auto& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(121);
        }
        ::close(in[0]);
        input_ = in[1];
        if (setting.outputPipe) {
            ::close(out[1]);
            outputPipe_ = out[0];
            usesPipe_ = true;
            fcntl(outputPipe_, F_SETFL, O_NONBLOCK);
        }
    }
    ~BackgroundRun() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        closeInput();
        closeOutput();
    }
    BackgroundRun(const BackgroundRun&) = delete;
    BackgroundRun& operator=(const BackgroundRun&) = delete;

    bool started() const { return pid_ > 0; }

    // Writes `text` on its standard input; false when it cannot (the program has gone). A
    // broken pipe here must not end the test, so SIGPIPE is held back and discarded.
    bool send(const std::string& text) {
        if (input_ < 0) return false;
        sigset_t pipeSignal, previous;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
        bool sent = true;
        for (size_t at = 0; sent && at < text.size();) {
            const ssize_t written = ::write(input_, text.data() + at, text.size() - at);
            if (written > 0) at += static_cast<size_t>(written);
            else sent = written < 0 && errno == EINTR;
        }
        const timespec now{0, 0};
        while (sigtimedwait(&pipeSignal, nullptr, &now) == SIGPIPE) {
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        return sent;
    }

    // Everything it has written on standard output so far.
    std::string output() {
        if (!usesPipe_) return readFile(outputPath_);
        char buffer[65536];
        for (ssize_t got; outputPipe_ >= 0 && (got = ::read(outputPipe_, buffer, sizeof buffer)) > 0;)
            piped_.append(buffer, static_cast<size_t>(got));
        return piped_;
    }

    // The reader of its standard output pipe goes away: its next write breaks the pipe.
    void closeOutput() {
        if (outputPipe_ >= 0) ::close(outputPipe_);
        outputPipe_ = -1;
    }

    void signal(int number) {
        if (pid_ > 0 && !ended_) kill(pid_, number);
    }

    // Waits until `condition` holds, looking every few milliseconds, for `limit` at most.
    static bool waitFor(const std::function<bool()>& condition,
                        std::chrono::seconds limit = std::chrono::seconds(120)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (condition()) return true;
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    // Closes its standard input and waits for its end; one that has not ended after
    // `limit` is killed. The status is -1 when a signal ended it; endSignal() tells which.
    Outcome finish(std::chrono::seconds limit = std::chrono::seconds(600)) {
        Outcome result;
        closeInput();
        if (pid_ <= 0) return result;
        int status = 0;
        const bool ended = waitFor(
            [&] {
                if (outputPipe_ >= 0) output();  // a full pipe would hold it up
                return waitpid(pid_, &status, WNOHANG) == pid_;
            },
            limit);
        if (!ended) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
        }
        ended_ = true;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        endSignal_ = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        result.output = output();
        result.errors = readFile(errorPath_);
        return result;
    }

    int endSignal() const { return endSignal_; }

private:
    void closeInput() {
        if (input_ >= 0) ::close(input_);
        input_ = -1;
    }

    TempFolder streams_;
    fs::path outputPath_, errorPath_;
    pid_t pid_ = -1;
    int input_ = -1;
    int outputPipe_ = -1;
    bool usesPipe_ = false;
    std::string piped_;  // what was read from the pipe
    bool ended_ = false;
    int endSignal_ = 0;
};

// Runs the converter inside this process, as the program would run in `folder` with `input`
// on its standard input: the streams are files outside the folder, the working folder is
// `folder` for the run's length.
inline Outcome runInProcess(const fs::path& folder, const std::vector<std::string>& arguments,
                            const std::string& input) {
    TempFolder streams("quillbox-streams");
    writeFile(streams / "stdin", input);
    Outcome result;
    std::FILE* in = std::fopen((streams / "stdin").c_str(), "rb");
    std::FILE* out = std::fopen((streams / "stdout").c_str(), "wb");
    std::FILE* error = std::fopen((streams / "stderr").c_str(), "wb");
    const fs::path start = fs::current_path();
    if (in && out && error && chdir(folder.c_str()) == 0) {
        std::vector<std::string> args{"quillbox"};
        args.insert(args.end(), arguments.begin(), arguments.end());
        result.status = runConsole(args, in, out, error) & 0xFF;  // as the shell sees it
        fs::current_path(start);
    }
    for (std::FILE* stream : {in, out, error}) {
        if (stream) std::fclose(stream);
    }
    result.output = readFile(streams / "stdout");
    result.errors = readFile(streams / "stderr");
    return result;
}

// Most runs need nothing of a process of their own and run in this one.
inline Outcome runQuillbox(const fs::path& folder, const std::vector<std::string>& arguments,
                           const std::string& input = "") {
    return runInProcess(folder, arguments, input);
}

}  // namespace console_run
