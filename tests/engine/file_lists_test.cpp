// Page lists of directory trees and their conversion in place, on temporary trees.
#include "file_lists.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine.h"

namespace {

namespace fs = std::filesystem;

// A temporary directory, removed with everything in it at the end of the test.
class TempTree {
public:
    TempTree() {
        std::string pattern = (fs::temp_directory_path() / "quillbox-lists-XXXXXX").string();
        root_ = mkdtemp(pattern.data());
        // Readable by the unprivileged child processes of the permission tests.
        fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
    }
    ~TempTree() {
        // Folders are opened up before they are entered, so that locked ones can be removed.
        std::error_code error, ignored;
        for (fs::recursive_directory_iterator entry(root_, error), end; !error && entry != end;
             entry.increment(error))
            if (!entry->is_symlink(ignored))
                fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }
    std::string path(const std::string& relative = "") const {
        return relative.empty() ? root_.string() : (root_ / relative).string();
    }
    std::string write(const std::string& relative, const std::string& text) const {
        fs::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative, std::ios::binary) << text;
        return path(relative);
    }
    void mkdir(const std::string& relative) const { fs::create_directories(root_ / relative); }

private:
    fs::path root_;
};

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string readStream(std::FILE* stream) {
    std::string text;
    std::rewind(stream);
    for (int c; (c = std::fgetc(stream)) != EOF;) text += static_cast<char>(c);
    return text;
}

std::string listOf(const std::vector<std::string>& paths) {
    std::string text = "Quillbox1.0\n";
    for (const auto& path : paths) text += path + "\n";
    return text + "\n";
}

// Lists the tree into a new list file beside `listPath`, which is then renamed to it.
std::string listTree(const std::string& start, const std::string& listPath) {
    const std::string folder = fs::path(listPath).parent_path().string();
    const std::string name = writeFileList(start, folder);
    EXPECT_EQ(fs::path(name).parent_path(), fs::path(folder));
    if (name.empty()) return {};
    EXPECT_EQ(fs::status(name).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    fs::rename(name, listPath);
    return readFile(listPath);
}

// What a walk told: one line for each entry left out.
std::string told(const std::vector<WalkProblem>& problems) {
    std::string text;
    for (const auto& problem : problems) {
        text += (problem.isLink ? "link " : problem.isFolder ? "folder " : "page ") + problem.path +
                ": " + problem.reason + "\n";
    }
    return text;
}

// Runs `work` in the working directory `directory`, then goes back.
template <typename Work>
auto inDirectory(const std::string& directory, Work work) {
    fs::path previous = fs::current_path();
    fs::current_path(directory);
    auto result = work();
    fs::current_path(previous);
    return result;
}

// Runs `work` in a child process that lacks root's power to read and write everything,
// and returns the text it produced, or a note of what went wrong.
std::string runUnprivileged(const std::function<std::string()>& work) {
    int channel[2];
    if (pipe(channel) != 0) return "no pipe";
    pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        std::string text = work();
        if (write(channel[1], text.data(), text.size()) < 0) _exit(3);
        _exit(0);
    }
    close(channel[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed";
    return text;
}

// The page-file rule: the suffix alone decides, any letter case.
TEST(FileLists, PageFileRule) {
    struct Case { const char* path; bool isPage; };
    constexpr Case kCases[] = {
        {"a.html", true},      {"B.HTM", true},       {"dir/x.HtMl", true},   {".htm", true},
        {"a.html.bak", false}, {"a.htmx", false},     {"a.shtml", false},     {"a.xhtm", false},
        {"htm", false},        {"a.txt", false},      {"", false},            {"html", false},
    };
    for (const auto& c : kCases) EXPECT_EQ(isPageFile(c.path), c.isPage) << c.path;
}

TEST(FileLists, ListHeaderRule) {
    struct Case { const char* line; bool matches; };
    constexpr Case kCases[] = {
        {"Quillbox1.0", true}, {"QUILLBOX1.0", true}, {"quillbox1.0 and more", true},
        {"Quillbox1.", false}, {" Quillbox1.0", false}, {"", false},
    };
    for (const auto& c : kCases) EXPECT_EQ(hasListHeader(c.line), c.matches) << c.line;
}

// Pages with both letter cases, files that are no pages, a directory named like a page,
// an empty directory and a hidden page, listed in name order with subtrees in place.
TEST(FileLists, ListsPagesOfTreeInNameOrder) {
    TempTree tree;
    tree.write("start/a.html", "a");
    tree.write("start/B.HTM", "b");
    tree.write("start/.hidden.htm", "h");
    tree.write("start/notes.txt", "n");
    tree.write("start/a.html.bak", "k");
    tree.write("start/sub/c.html", "c");
    tree.write("start/sub/d.txt", "d");
    tree.write("start/x.htm/e.html", "e");
    tree.mkdir("start/empty");
    const std::string start = tree.path("start"), list = tree.path("list.tmp");
    const char sep = fs::path::preferred_separator;
    auto in = [&](const std::string& rest) { return start + sep + rest; };

    EXPECT_EQ(listTree(start, list),
              listOf({in(".hidden.htm"), in("B.HTM"), in("a.html"),
                      in(std::string("sub") + sep + "c.html"),
                      in(std::string("x.htm") + sep + "e.html")}));
    // A start path ending in a separator is not given a second one.
    EXPECT_EQ(listTree(start + sep, list), readFile(list));
    // A relative start path gives the same list with relative paths.
    std::string relative = inDirectory(tree.path(), [&] { return listTree("start", list); });
    std::string expected = readFile(list);
    for (std::size_t at; (at = expected.find(tree.path() + sep)) != std::string::npos;)
        expected.erase(at, tree.path().size() + 1);
    EXPECT_EQ(relative, expected);
}

TEST(FileLists, StartPathEdgeCases) {
    TempTree tree;
    const std::string page = tree.write("page.HTML", "p");
    tree.write("notes.txt", "n");
    tree.mkdir("empty");
    const std::string list = tree.path("list.tmp");
    EXPECT_EQ(listTree(page, list), listOf({page}));
    EXPECT_EQ(listTree(tree.path("notes.txt"), list), listOf({}));
    EXPECT_EQ(listTree(tree.path("empty"), list), listOf({}));
    EXPECT_EQ(listTree(tree.path("missing"), list), listOf({}));
    EXPECT_EQ(writeFileList(page, tree.path("no/such/folder/list.tmp")), "");
}

// Links below the start are never followed, to pages or to folders, so none can lead a
// conversion outside the tree; each is told. A start that is a link is followed.
TEST(FileLists, SymbolicLinksArePassedOver) {
    TempTree tree;
    const std::string page = tree.write("start/a.html", "a");
    tree.write("outside/b.html", "b");
    tree.mkdir("start/sub");
    fs::create_directory_symlink("..", tree.path("start/sub/loop"));
    fs::create_directory_symlink(tree.path("outside"), tree.path("start/sub/back.htm"));
    fs::create_symlink(page, tree.path("start/sub/link.html"));
    fs::create_symlink(tree.path("nowhere"), tree.path("start/sub/dead.html"));
    fs::create_directory_symlink(tree.path("start"), tree.path("named"));
    std::vector<WalkProblem> problems;
    const std::string list = writeFileList(tree.path("start"), tree.path(), &problems);
    EXPECT_EQ(readFile(list), listOf({page}));
    EXPECT_EQ(told(problems), "link " + tree.path("start/sub/back.htm") + ": \n" +
                                  "link " + tree.path("start/sub/dead.html") + ": \n" +
                                  "link " + tree.path("start/sub/link.html") + ": \n" +
                                  "link " + tree.path("start/sub/loop") + ": \n");
    EXPECT_EQ(listTree(tree.path("named"), tree.path("list.tmp")),
              listOf({tree.path("named") + "/a.html"}));
}

// A path far past 1023 characters is listed whole.
TEST(FileLists, DeepTree) {
    TempTree tree;
    std::string relative;
    for (int level = 0; level < 150; ++level) relative += "directory" + std::to_string(level % 10) + "/";
    const std::string page = tree.write(relative + "deep.htm", "d");
    ASSERT_GT(page.size(), 1023u);
    EXPECT_EQ(listTree(tree.path(), tree.path("list.tmp")), listOf({page}));
}

// What cannot be read stays out of the list; a caller that asks learns what and why: pages
// that cannot be opened, folders that cannot be listed, links to pages that lead nowhere.
TEST(FileLists, UnreadableEntriesAreLeftOutAndTold) {
    TempTree tree;
    const std::string page = tree.write("start/a.html", "a");
    tree.write("start/secret.html", "s");
    tree.write("start/secret.txt", "t");  // not a page: neither listed nor told
    tree.write("start/locked/b.html", "b");
    fs::create_symlink(tree.path("nowhere"), tree.path("start/dead.html"));
    fs::permissions(tree.path("start/secret.html"), fs::perms::none);
    fs::permissions(tree.path("start/secret.txt"), fs::perms::none);
    fs::permissions(tree.path("start/locked"), fs::perms::none);
    tree.mkdir("work");
    fs::permissions(tree.path("work"), fs::perms::all);
    const std::string list = tree.path("work/list.tmp");
    EXPECT_EQ(runUnprivileged([&] { return listTree(tree.path("start"), list); }), listOf({page}));

    const std::string shown = runUnprivileged([&] {
        std::vector<WalkProblem> problems;
        fs::remove(writeFileList(tree.path("start"), tree.path("work"), &problems));
        return told(problems);
    });
    EXPECT_EQ(shown, "link " + tree.path("start/dead.html") + ": \n" +
                         "folder " + tree.path("start/locked") + ": Permission denied\n" +
                         "page " + tree.path("start/secret.html") + ": Permission denied\n");
}

// Converting lists: each case runs on a fresh tree in its own working directory.
class ConvertList : public ::testing::Test {
protected:
    TempTree tree;
    Engine engine;
    std::FILE* console = std::tmpfile();
    std::FILE* answers = std::tmpfile();
    const std::string pageText = "<html>\n<head><title>T</title></head>\n<body>  some   text\n"
                                 "<!-- c -->  <p>more   text</p>\n</body></html>\n";

    void SetUp() override {
        engine.console = engine.errors = console;
        engine.input = answers;
        tree.mkdir("work");
        fs::permissions(tree.path("work"), fs::perms::all);
    }
    void TearDown() override {
        std::fclose(console);
        std::fclose(answers);
    }
    // Starts a run afresh: an empty console and the given answers.
    void restart(const std::string& givenAnswers) {
        std::fclose(console);
        std::fclose(answers);
        engine.console = engine.errors = console = std::tmpfile();
        engine.input = answers = std::tmpfile();
        std::fputs(givenAnswers.c_str(), answers);
        std::rewind(answers);
        engine.options.interactive = 1;
    }
    // Runs in the folder "work", which also takes the list file: it is empty afterwards.
    // Returns how many pages were not converted; `quit` tells whether the user stopped the run.
    int run(const std::string& start, TreeOptions options = {}) {
        options.listFolder = tree.path("work");
        const ListOutcome outcome =
            inDirectory(tree.path("work"), [&] { return convertList(engine, start, 0, options); });
        quit = outcome.quit;
        return outcome.notConverted;
    }
    bool quit = false;
    // What the driver makes of `text` as a conversion of its own file.
    std::string converted(const std::string& text) {
        const std::string name = tree.write("reference/page.html", text);
        std::string output = name;
        Engine fresh;
        fresh.console = nullptr;
        EXPECT_GT(convertFile(fresh, name.c_str(), &output, static_cast<long>(text.size()), 0), 0);
        return readFile(name);
    }
    std::string prompt(const std::string& path) { return path + " : Convert this file (y/n/all/quit) ? "; }
};

TEST_F(ConvertList, ConvertsEveryPageInPlaceWithoutAsking) {
    engine.options.interactive = 0;
    // A page as the engine writes it after packing: carries the marker, and is left alone.
    const std::string packed = converted(std::string(PACKED_MARKER) + "<script>x</script>");
    const std::string a = tree.write("start/a.html", pageText);
    const std::string b = tree.write("start/sub/b.htm", pageText + "<p>b</p>");
    const std::string c = tree.write("start/c.html", packed);
    const std::string bigText = "<p>" + std::string(150000, 'x') + "</p>";  // never cut
    const std::string big = tree.write("start/big.html", bigText);
    const std::string text = tree.write("start/notes.txt", pageText);
    // A '?' in the name is kept: the page is replaced, nothing is written beside it.
    const std::string question = tree.write("start/what?.html", pageText);
    // Text with zero bytes (UTF-16 here) would be misread: refused, and left as it is.
    const std::string wideText("<\0p\0>\0x\0", 8);
    const std::string wide = tree.write("start/wide.html", wideText);

    EXPECT_EQ(run(tree.path("start")), 1);  // the page not converted
    EXPECT_EQ(readFile(a), converted(pageText));
    EXPECT_EQ(readFile(b), converted(pageText + "<p>b</p>"));
    EXPECT_EQ(readFile(c), packed);
    EXPECT_EQ(readFile(big), converted(bigText));
    EXPECT_EQ(readFile(text), pageText);
    EXPECT_EQ(readFile(question), converted(pageText));
    EXPECT_FALSE(fs::exists(tree.path("start/what_.html")));
    const std::string shown = readStream(console);
    EXPECT_EQ(shown.find("WARNING"), std::string::npos);
    EXPECT_EQ(shown.find("Convert this file"), std::string::npos);
    EXPECT_EQ(readFile(wide), wideText);
    EXPECT_NE(shown.find("Couldn't generate file from " + wide + ": holds zero bytes"),
              std::string::npos);
    EXPECT_TRUE(fs::is_empty(tree.path("work")));
}

// Only a folder is converted: a missing start or a file is told, and nothing is listed.
TEST_F(ConvertList, StartThatIsNoFolder) {
    const std::string page = tree.write("start/a.html", pageText);
    engine.options.interactive = 1;  // the warning is not given either
    for (const std::string& start : {tree.path("missing"), page}) {
        SCOPED_TRACE(start);
        restart("y\n");
        EXPECT_EQ(run(start), -1);
        EXPECT_EQ(readFile(page), pageText);
        const std::string shown = readStream(console);
        EXPECT_TRUE(shown.starts_with("Couldn't read the folder " + start + ": ")) << shown;
        EXPECT_EQ(shown.find("WARNING"), std::string::npos);
        EXPECT_TRUE(fs::is_empty(tree.path("work")));
    }
}

// Answers, one word each, and which of the pages p1..p3 end up converted.
TEST_F(ConvertList, AnswersDecideWhatIsConverted) {
    struct Case { const char* name; std::string answers; const char* convertedPages; int questions; };
    const std::string longNo = "n" + std::string(200, 'o');
    const Case kCases[] = {
        {"yes no yes", "y\nn\nY\n", "101", 3},
        {"all, then no more questions", "all\nn\nn\n", "111", 1},
        {"unknown answers ask again", "maybe\nx\nyes\nNO\nn\n", "100", 5},
        {"long answer", longNo + " y\ny\ny\n", "011", 3},
        {"empty answers ask again", "\n \t\ny\nn\n\ny\n", "101", 6},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> pages;
        for (int i = 1; i <= 3; ++i)
            pages.push_back(tree.write("start/p" + std::to_string(i) + ".html", pageText));
        restart(c.answers);
        EXPECT_EQ(run(tree.path("start")), 0);
        EXPECT_FALSE(quit);  // every page had its answer
        const std::string expected = converted(pageText);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(readFile(pages[i]), c.convertedPages[i] == '1' ? expected : pageText) << i;
        const std::string shown = readStream(console);
        EXPECT_EQ(shown.rfind("WARNING - conversions overwrite originals. It is suggested you make a backup.\n", 0), 0u);
        int questions = 0;
        for (std::size_t at = 0; (at = shown.find(" : Convert this file (y/n/all/quit) ? ", at)) != std::string::npos; ++at)
            ++questions;
        EXPECT_EQ(questions, c.questions);
        EXPECT_NE(shown.find(prompt(pages[0])), std::string::npos);
    }
}

// "q" and the end of the answers stop the run at once; later pages stay as they were. The
// pages before that were not converted are counted.
TEST_F(ConvertList, QuitAndEndOfAnswersStopAtOnce) {
    struct Case { const char* answers; bool zeroPage; int notConverted; };
    constexpr Case kCases[] = {
        {"y\nQuit\ny\n", false, 0},
        {"y\n", false, 0},
        {"y\ny\nq\n", true, 1},  // 0.html, listed first, holds a zero byte
        {"n\ny\nq\n", true, 0},  // ... and was passed over
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.answers);
        const std::string zero = tree.path("start/0.html");
        if (c.zeroPage) tree.write("start/0.html", std::string("<p>\0</p>", 8));
        const std::string first = tree.write("start/1.html", pageText);
        const std::string second = tree.write("start/2.html", pageText);
        restart(c.answers);
        EXPECT_EQ(run(tree.path("start")), c.notConverted);
        EXPECT_TRUE(quit);
        EXPECT_TRUE(fs::is_empty(tree.path("work")));
        EXPECT_EQ(readFile(first), converted(pageText));
        EXPECT_EQ(readFile(second), pageText);
        fs::remove(zero);
    }
}

TEST_F(ConvertList, ListFileThatCannotBeWritten) {
    tree.write("start/a.html", pageText);
    engine.options.interactive = 0;
    TreeOptions options;
    EXPECT_EQ(inDirectory(tree.path("work"), [&] {
                  options.listFolder = tree.path("missing");
                  return convertList(engine, tree.path("start"), 0, options).notConverted;
              }),
              -1);
    EXPECT_EQ(readFile(tree.path("start/a.html")), pageText);
    EXPECT_NE(readStream(console).find("Couldn't write the list file in " + tree.path("missing") +
                                       ": No such file or directory"),
              std::string::npos);
}

// A page in a folder that cannot be written to keeps its content, and the write error is
// the one line told about it.
TEST_F(ConvertList, FailedWriteLeavesOriginal) {
    const std::string page = tree.write("start/locked/a.html", pageText);
    fs::permissions(page, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                             fs::perms::others_exec));  // the page may be written
    fs::permissions(tree.path("start/locked"), fs::perms::owner_read | fs::perms::owner_exec |
                                                   fs::perms::others_read | fs::perms::others_exec);
    engine.options.interactive = 0;
    engine.options.progressDots = 0;  // the error stream alone
    EXPECT_EQ(runUnprivileged([&] {
                  const int notConverted = run(tree.path("start"));
                  return std::to_string(notConverted) + " " + readStream(console);
              }),
              "1 Error writing file " + page + ": Permission denied\n");  // told once
    EXPECT_EQ(readFile(page), pageText);
    EXPECT_EQ(std::distance(fs::directory_iterator(tree.path("start/locked")), {}), 1);
}

}  // namespace

namespace {

// Every file under `top`, by its path below it, with its bytes.
std::map<std::string, std::string> filesUnder(const std::string& top) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        if (entry.is_regular_file()) files[fs::relative(entry.path(), top).string()] = readFile(entry.path());
    }
    return files;
}

// Pages converted several at once, in place or into an output folder, give the same files
// and the same lines, in the same order, as one at a time in place.
TEST_F(ConvertList, JobsAndOutputFolderGiveTheSameFiles) {
    const std::string samples[] = {pageText, std::string(PACKED_MARKER) + "<p>packed</p>",
                                   "<p>" + std::string(40000, 'w') + " end</p>",
                                   std::string("<p>\0</p>", 8)};
    for (const char* copy : {"one", "many", "source"}) {
        for (int i = 0; i < 40; ++i) {
            tree.write(std::string(copy) + "/d" + std::to_string(i % 3) + "/p" + std::to_string(i) +
                           ".html",
                       samples[i % 4] + "<p>" + std::to_string(i) + "</p>");
        }
        tree.write(std::string(copy) + "/notes.txt", "not a page");
    }
    const std::string original = tree.path("source");
    const auto runWith = [&](const std::string& start, int jobs, const std::string& output) {
        restart("");
        engine.options.interactive = 0;
        TreeOptions options;
        options.jobs = jobs;
        options.outputFolder = output;
        const int notConverted = run(start, options);
        std::string shown = readStream(console);
        for (std::size_t at; (at = shown.find(start)) != std::string::npos;) shown.replace(at, start.size(), "T");
        for (std::size_t at; !output.empty() && (at = shown.find(output)) != std::string::npos;)
            shown.replace(at, output.size(), "T");
        return std::to_string(notConverted) + "\n" + shown;
    };
    const std::string oneAtATime = runWith(tree.path("one"), 1, "");
    EXPECT_EQ(oneAtATime.substr(0, 3), "10\n");  // the pages holding a zero byte
    EXPECT_EQ(runWith(tree.path("many"), 4, ""), oneAtATime);
    const auto before = filesUnder(original);
    tree.mkdir("packed");
    EXPECT_EQ(runWith(original, 3, tree.path("packed")), oneAtATime);

    const auto inPlace = filesUnder(tree.path("one"));
    EXPECT_EQ(filesUnder(tree.path("many")), inPlace);
    EXPECT_EQ(filesUnder(original), before);  // the tree read from is left as it was
    auto expected = inPlace;  // the output folder: converted pages, nothing else
    std::erase_if(expected, [](const auto& file) { return !isPageFile(file.first) ||
                                                          file.second.find('\0') != std::string::npos; });
    EXPECT_EQ(filesUnder(tree.path("packed")), expected);
}

}  // namespace
