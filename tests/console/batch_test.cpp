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
    EXPECT_EQ(changedPages(), "111");
    EXPECT_EQ(readFile(root / "site/notes.txt"), page);
    EXPECT_EQ(countOf(result.output, kQuestion), 0);
    EXPECT_EQ(countOf(result.output, kWarning), 0);
    EXPECT_TRUE(result.output.ends_with("\ndone.\n")) << result.output;
    EXPECT_TRUE(readFile(root / "quillboxtmpoutput.tmp").starts_with("Quillbox1.0\n"));
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
        EXPECT_EQ(changedPages(), c.changed);
        EXPECT_EQ(countOf(result.output, kQuestion), c.questions);
        EXPECT_EQ(countOf(result.output, kWarning), 1);
        EXPECT_EQ(result.output.ends_with("\ndone.\n"), c.done) << result.output;
        EXPECT_NE(result.output.find("site/a.html" + kQuestion), std::string::npos);
    }
}

// The list file cannot be created: a message says so, and the end line still follows.
TEST_F(DirectoryMode, ListFileThatCannotBeWritten) {
    fs::create_directory(root / "quillboxtmpoutput.tmp");
    Outcome result = run({"-i", "-r", "site"}, "");
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(changedPages(), "000");
    EXPECT_NE(result.output.find("Couldn't write the list file quillboxtmpoutput.tmp"),
              std::string::npos);
    EXPECT_TRUE(result.output.ends_with("\ndone.\n")) << result.output;
}

}  // namespace
