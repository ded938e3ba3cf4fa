// Runs the built quillbox program the way a user does: in a working folder of its own, with
// a given text on its standard input, collecting its standard output, its standard error
// and its exit status.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
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

inline Outcome runQuillbox(const fs::path& folder, const std::vector<std::string>& arguments,
                           const std::string& input = "") {
    return runQuillbox(folder, arguments, RunSetting{input, "", false});
}

}  // namespace console_run
