// Directory mode of the quillbox program, driven through its standard input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console/console_run.h"

namespace {

namespace fs = std::filesystem;

using console_run::Outcome;
using console_run::readFile;

// A temporary folder holding a tree "site" of three pages and a text file; the program runs
// with it as its working directory.
class DirectoryMode : public ::testing::Test {
protected:
    fs::path root;
    const std::string page = "<html><body>  some    text  <p>more    text</p>  </body></html>\n";
    std::vector<fs::path> pages;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quillbox-batch-XXXXXX").string();
        root = mkdtemp(pattern.data());
        for (const char* name : {"site/a.html", "site/b.HTM", "site/sub/c.htm"}) {
            pages.push_back(root / name);
            write(name, page);
        }
        write("site/notes.txt", page);
    }
    void TearDown() override { fs::remove_all(root); }

    void write(const std::string& name, const std::string& text) {
        fs::create_directories((root / name).parent_path());
        std::ofstream(root / name, std::ios::binary) << text;
    }

    // Runs quillbox with `arguments` in the folder, `answers` on its standard input.
    Outcome run(const std::vector<std::string>& arguments, const std::string& answers) {
        return console_run::runQuillbox(root, arguments, answers);
    }

    // Which of the three pages changed, as a string of '1' and '0' in list order.
    std::string changedPages() {
        std::string changed;
        for (const auto& path : pages) changed += readFile(path) == page ? '0' : '1';
        return changed;
    }
};

int countOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++count;
    return count;
}

const std::string kQuestion = " : Convert this file (y/n/all/quit) ? ";
const std::string kWarning =
    "WARNING - conversions overwrite originals. It is suggested you make a backup.\n";

TEST_F(DirectoryMode, WithoutQuestions) {
    Outcome result = run({"-i", "-r", "site"}, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(changedPages(), "111");
    EXPECT_EQ(readFile(root / "site/notes.txt"), page);
    EXPECT_EQ(countOf(result.output, kQuestion), 0);
    EXPECT_EQ(countOf(result.output, kWarning), 0);
    EXPECT_TRUE(result.output.ends_with("\ndone.\n")) << result.output;
    EXPECT_FALSE(fs::exists(root / "quillboxtmpoutput.tmp"));  // the list is not left here
}

// Pages in list order: site/a.html, site/b.HTM, site/sub/c.htm.
TEST_F(DirectoryMode, Answers) {
    struct Case { const char* name; const char* answers; const char* changed; int questions; bool done; };
    constexpr Case kCases[] = {
        {"y n Y", "y\nn\nY\n", "101", 3, true},
        {"all, then no more questions", "all\nn\nn\n", "111", 1, true},
        {"unknown answers repeat the question", "what\n?\nNo\ny\nn\n", "010", 5, true},
        {"q exits at once", "n\nq\ny\n", "000", 2, false},
        {"Quit in capitals", "y\nQUIT\n", "100", 2, false},
        {"end of input stops as q", "y\n", "100", 2, false},
        {"no input at all", "", "000", 1, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        for (const auto& path : pages) write(fs::relative(path, root).string(), page);
        Outcome result = run({"-r", "site"}, c.answers);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(result.errors, "");
        EXPECT_EQ(changedPages(), c.changed);
        EXPECT_EQ(countOf(result.output, kQuestion), c.questions);
        EXPECT_EQ(countOf(result.output, kWarning), 1);
        EXPECT_EQ(result.output.ends_with("\ndone.\n"), c.done) << result.output;
        EXPECT_NE(result.output.find("site/a.html" + kQuestion), std::string::npos);
    }
}

// Gives every folder and file under `top` all rights, so that a run without root's powers
// can read and replace them, and the folder can be removed afterwards.
void openUp(const fs::path& top) {
    fs::permissions(top, fs::perms::all);
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        if (!entry.is_symlink()) fs::permissions(entry.path(), fs::perms::all);
    }
}

bool isOneLine(const std::string& text) {
    return !text.empty() && text.find('\n') == text.size() - 1;
}

// The list file cannot be created in the temporary folder: a message on standard error names
// the folder, nothing is converted, and the status is 1.
TEST_F(DirectoryMode, ListFileThatCannotBeWritten) {
    const std::string missing = (root / "no-such-folder").string();
    console_run::RunSetting setting;
    setting.environment = {"TMPDIR=" + missing};
    Outcome result = console_run::runQuillbox(root, {"-i", "-r", "site"}, setting);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(changedPages(), "000");
    EXPECT_EQ(result.errors, "Couldn't write the list file in " + missing +
                                 ": No such file or directory\n");
    EXPECT_FALSE(result.output.ends_with("\ndone.\n")) << result.output;
}

// A start that is no folder is named on standard error with the reason, and the status is 1.
TEST_F(DirectoryMode, StartThatIsNoFolder) {
    struct Case { const char* start; const char* reason; };
    constexpr Case kCases[] = {
        {"missing", "No such file or directory"},
        {"missing/deeper", "No such file or directory"},
        {"site/a.html", "Not a directory"},  // a page, where a folder is expected
        {"site/notes.txt", "Not a directory"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.start);
        Outcome result = run({"-i", "-r", c.start}, "");
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.errors,
                  "Couldn't read the folder " + std::string(c.start) + ": " + c.reason + "\n");
        EXPECT_EQ(changedPages(), "000");
        EXPECT_FALSE(result.output.ends_with("\ndone.\n")) << result.output;
    }
}

// "--" lets a folder whose name begins with '-' follow -r.
TEST_F(DirectoryMode, FolderNamedLikeASwitch) {
    write("-x/p.html", page);
    Outcome result = run({"-i", "-r", "--", "-x"}, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.errors, "");
    EXPECT_NE(readFile(root / "-x/p.html"), page);
    EXPECT_EQ(changedPages(), "000");

    Outcome without = run({"-i", "-r", "-x"}, "");  // "-x" is taken for a switch
    EXPECT_EQ(without.status, 255);
}

// A page that is not converted is left as it is and named on standard error, once, with the
// reason; the other pages are converted all the same, and the status is 1. The program runs
// without root's powers, so that rights are what they say.
TEST_F(DirectoryMode, PagesNotConverted) {
    if (!console_run::canRunUnprivileged()) GTEST_SKIP() << "cannot give up root's powers here";
    std::string utf16 = "\xFF\xFE";
    for (char c : page) utf16 += std::string{c, '\0'};
    struct Case {
        const char* name;
        const char* file;         // the page that is not converted, under the root folder
        std::string text;
        const char* lockedFolder;  // a folder given the rights below, or none
        fs::perms folderRights;
        fs::perms fileRights;
        std::string message;  // how standard error begins
        const char* reason;   // what it says after
    };
    const Case kCases[] = {
        {"zero bytes", "site/z.html", utf16, nullptr, fs::perms::all, fs::perms::all,
         "Couldn't generate file from site/z.html: ", "zero bytes"},
        {"unreadable page", "site/secret.html", page, nullptr, fs::perms::all, fs::perms::none,
         "Couldn't generate file from site/secret.html: ", "cannot be read: Permission denied"},
        {"unreadable folder", "site/locked/x.html", page, "site/locked", fs::perms::none,
         fs::perms::all, "Couldn't read the folder site/locked: ", "Permission denied"},
        {"folder that cannot be written", "site/kept/w.html", page, "site/kept",
         fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
             fs::perms::others_exec,
         fs::perms::all, "Error writing file site/kept/w.html: ", "Permission denied"},
        {"read-only page", "site/kept.html", page, nullptr, fs::perms::all,
         fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
         "Couldn't generate file from site/kept.html: ", "cannot be written: Permission denied"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(root / "site");
        for (const auto& path : pages) write(fs::relative(path, root).string(), page);
        write(c.file, c.text);
        openUp(root);
        if (c.lockedFolder) fs::permissions(root / c.lockedFolder, c.folderRights);
        fs::permissions(root / c.file, c.fileRights);

        console_run::RunSetting setting;
        setting.unprivileged = true;
        Outcome result = console_run::runQuillbox(root, {"-i", "-r", "site"}, setting);
        if (c.lockedFolder) fs::permissions(root / c.lockedFolder, fs::perms::all);
        fs::permissions(root / c.file, fs::perms::all);

        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.errors.starts_with(c.message)) << result.errors;
        EXPECT_NE(result.errors.find(c.reason, c.message.size()), std::string::npos)
            << result.errors;
        EXPECT_TRUE(isOneLine(result.errors)) << result.errors;
        EXPECT_EQ(readFile(root / c.file), c.text);
        EXPECT_EQ(changedPages(), "111");
        EXPECT_TRUE(result.output.ends_with("\ndone.\n")) << result.output;
        // Nothing was left beside the page.
        EXPECT_EQ(std::distance(fs::directory_iterator(root / fs::path(c.file).parent_path()),
                                fs::directory_iterator()),
                  fs::path(c.file).parent_path() == "site" ? 4 : 1);  // a.html, b.HTM, sub
    }
}

// Answering a question ends the run at once, with status 1 when a page before it was not
// converted; the answers decide nothing else about the status.
TEST_F(DirectoryMode, StatusAfterAnswers) {
    write("site/0.html", std::string("<p>\0</p>", 8));  // listed first, never converted
    struct Case { const char* answers; int status; bool done; };
    constexpr Case kCases[] = {
        {"y\nq\n", 1, false},
        {"n\nq\n", 0, false},
        {"all\n", 1, true},
        {"n\nn\nn\nn\n", 0, true},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.answers);
        Outcome result = run({"-r", "site"}, c.answers);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.output.ends_with("\ndone.\n"), c.done) << result.output;
        EXPECT_EQ(result.errors.empty(), c.status == 0) << result.errors;
    }
}

}  // namespace
