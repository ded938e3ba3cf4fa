// Runs the built quillbox program the way a user does: in a working folder of its own, with
// a given text on its standard input, collecting its standard output and exit status.
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

// Runs the program with `arguments` in `folder`, `input` on its standard input. Standard
// input and output go through files outside the folder, so they never match a name pattern
// and a program that stops reading early cannot block the test.
inline Outcome runQuillbox(const fs::path& folder, const std::vector<std::string>& arguments,
                           const std::string& input = "") {
    TempFolder streams("quillbox-streams");
    const fs::path inPath = streams / "stdin";
    const fs::path outPath = streams / "stdout";
    writeFile(inPath, input);
    Outcome result;
    const pid_t child = fork();
    if (child < 0) return result;
    if (child == 0) {
        const int in = open(inPath.c_str(), O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || chdir(folder.c_str()) != 0) _exit(120);
        dup2(in, 0);
        dup2(out, 1);
        std::vector<char*> argv{const_cast<char*>(QUILLBOX_CONSOLE_BINARY)};
        for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(121);
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = readFile(outPath);
    return result;
}

}  // namespace console_run
