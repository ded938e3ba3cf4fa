// Directory mode of the quillbox program seen from outside: which files of a tree change,
// with which bytes, rights and owners, what is printed, the exit status, and what is left
// in the tree and in the temporary folder, also when a run is stopped part way or another
// run goes on at the same time. Every test has a folder of its own and its own TMPDIR.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "console/console_run.h"

namespace {

namespace fs = std::filesystem;
using console_run::BackgroundRun;
using console_run::BackgroundSetting;
using console_run::Outcome;
using console_run::readFile;
using console_run::writeFile;

// Each file and link below a folder by its path there: a file's bytes, or "-> " and a
// link's target. Links are not followed.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const fs::path& top) {
    Snapshot entries;
    for (const auto& entry : fs::recursive_directory_iterator(top)) {
        const std::string name = entry.path().lexically_relative(top).string();
        if (entry.is_symlink()) entries[name] = "-> " + fs::read_symlink(entry.path()).string();
        else if (entry.is_regular_file()) entries[name] = readFile(entry.path());
    }
    return entries;
}

// Compares two snapshots by name, without printing whole pages when they differ.
::testing::AssertionResult sameFiles(const Snapshot& actual, const Snapshot& expected) {
    std::string differences;
    for (const auto& [name, text] : expected) {
        const auto found = actual.find(name);
        if (found == actual.end()) differences += " missing " + name + ";";
        else if (found->second != text) differences += " different " + name + ";";
    }
    for (const auto& [name, text] : actual)
        if (!expected.contains(name)) differences += " unexpected " + name + ";";
    if (differences.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differences;
}

// A page whose words and length follow `seed`, with blanks and comments to remove.
std::string pageText(int seed, int paragraphs = 3) {
    static const char* const kWords[] = {"lantern", "harbour", "quiet", "over", "tide",
                                         "and",     "gulls",   "rope",  "salt", "north"};
    std::string page = "<html><head><title>" + std::to_string(seed) + "</title></head>\n<body>";
    unsigned state = static_cast<unsigned>(seed) * 2654435761u + 1;
    for (int p = 0; p < paragraphs; ++p) {
        page += "\n  <p>  ";
        for (int w = 0; w < 24; ++w) {
            state = state * 1103515245u + 12345u;
            page += std::string(kWords[(state >> 16) % 10]) + ((state >> 8) % 3 ? " " : "   ");
        }
        page += "</p>  <!-- note " + std::to_string(p) + " -->";
    }
    return page + "\n</body></html>\n";
}

std::vector<std::string> completeLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = 0; (at = text.find(part, at)) != std::string::npos; at += part.size())
        ++count;
    return count;
}

// Printed lines that end with a page's name: one for each page converted so far.
size_t pageLines(const std::string& output) {
    size_t count = 0;
    for (const std::string& line : completeLines(output))
        count += line.ends_with(".html") || line.ends_with(".htm");
    return count;
}

// Paths of the files below `top` whose names begin with `prefix`.
std::vector<std::string> namesBeginningWith(const fs::path& top, const std::string& prefix) {
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(top))
        if (entry.path().filename().string().starts_with(prefix)) found.push_back(entry.path());
    return found;
}

const std::vector<std::string> kNone;
const std::string kQuestion = " : Convert this file (y/n/all/quit) ? ";

class TreeRun : public ::testing::Test {
protected:
    console_run::TempFolder folder;
    fs::path tmp;  // TMPDIR of every run

    void SetUp() override {
        tmp = folder / "tmp";
        fs::create_directory(tmp);
        // The unprivileged user may enter the folder and make its list file beside others'.
        fs::permissions(folder.path(), fs::perms::all);
        fs::permissions(tmp, fs::perms::all | fs::perms::sticky_bit);
    }

    BackgroundSetting setting(bool unprivileged = false) {
        BackgroundSetting result;
        result.environment = {"TMPDIR=" + tmp.string()};
        result.unprivileged = unprivileged;
        return result;
    }

    // Runs the program to its end with `input` on its standard input. However it ends, it
    // leaves no list file in TMPDIR, and makes none in the working folder.
    Outcome run(const std::vector<std::string>& arguments, const std::string& input = "",
                bool unprivileged = false) {
        BackgroundRun program(folder.path(), arguments, setting(unprivileged));
        EXPECT_TRUE(program.started());
        program.send(input);
        const Outcome result = program.finish();
        EXPECT_EQ(namesBeginningWith(tmp, ""), kNone);
        for (const auto& entry : fs::directory_iterator(folder.path())) {
            EXPECT_FALSE(entry.path().filename().string().starts_with("quillboxtmp"))
                << entry.path();
        }
        return result;
    }

    void write(const std::string& name, const std::string& text) { writeFile(folder / name, text); }
    std::string read(const std::string& name) { return readFile(folder / name); }
    struct stat status(const std::string& name) {
        struct stat result {};
        EXPECT_EQ(::lstat((folder / name).c_str(), &result), 0) << name;
        return result;
    }
};

// Links below the starting folder, to files or folders, in the tree or out of it, are never
// followed: only the two real pages change, each link is told once, and that is no failure.
TEST_F(TreeRun, LinksArePassedOver) {
    const std::string text = pageText(1);
    for (const char* name :
         {"outside.txt", "outside.html", "elsewhere/e.html", "site/a.html", "site/sub/b.html"})
        write(name, text);
    const std::map<std::string, std::string> links = {
        {"site/x.html", "../outside.txt"}, {"site/y.htm", "../outside.html"},
        {"site/pages", "../elsewhere"},    {"site/sub/z.html", "../a.html"},
        {"site/gone.html", "missing.html"}};
    for (const auto& [link, target] : links) fs::create_symlink(target, folder / link);
    const Snapshot before = snapshot(folder.path());

    const Outcome result = run({"-i", "-r", "site"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.errors, "");
    Snapshot after = snapshot(folder.path());
    for (const char* page : {"site/a.html", "site/sub/b.html"}) {
        EXPECT_NE(after[page], text) << page << " was not converted";
        after[page] = text;
    }
    EXPECT_TRUE(sameFiles(after, before));
    const std::vector<std::string> lines = completeLines(result.output);
    for (const auto& [link, target] : links) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), link + " : symbolic link, passed over"), 1)
            << link << " in\n" << result.output;
    }
    EXPECT_EQ(countOf(result.output, "symbolic link"), links.size());

    // Nor is a question asked about a link.
    EXPECT_EQ(countOf(run({"-r", "site"}, "n\nn\n").output, kQuestion), 2u);
}

// A page the user may not write is left as it is and named with the system's reason; the
// other page is converted. The program runs as a user other than root.
TEST_F(TreeRun, PageTheUserMayNotWriteIsLeftAsItIs) {
    if (!console_run::canRunUnprivileged()) GTEST_SKIP() << "cannot give up root's powers here";
    const bool root = geteuid() == 0;
    const fs::perms readable =
        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    struct Case { const char* name; fs::perms rights; bool ownedByRoot; };
    const Case kCases[] = {
        {"read-only page", readable, false},
        {"root's page in a folder anyone may write", readable | fs::perms::owner_write, true},
    };
    const std::string text = pageText(2);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        if (c.ownedByRoot && !root) {
            std::cout << "[  SKIPPED ] " << c.name << ": only root can make such a page\n";
            continue;
        }
        fs::remove_all(folder / "site");
        write("site/a.html", text);
        write("site/locked.html", text);
        fs::permissions(folder / "site", fs::perms::all);
        fs::permissions(folder / "site/a.html", fs::perms::all);
        fs::permissions(folder / "site/locked.html", c.rights);
        if (root && !c.ownedByRoot) {
            ASSERT_EQ(::chown((folder / "site/locked.html").c_str(), 65534, 65534), 0);
        }
        const struct stat before = status("site/locked.html");

        const Outcome result = run({"-i", "-r", "site"}, "", true);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.errors,
                  "Couldn't generate file from site/locked.html: cannot be written: "
                  "Permission denied\n");
        const struct stat after = status("site/locked.html");
        EXPECT_EQ(read("site/locked.html"), text);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_NE(read("site/a.html"), text);
        EXPECT_EQ(namesBeginningWith(folder / "site", ".quillbox-"), kNone);
    }
}

// A converted page keeps its owner, group and rights, set-group bit included.
TEST_F(TreeRun, ReplacedPageKeepsOwnerGroupAndRights) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give pages to other users";
    struct Case { const char* name; uid_t owner; gid_t group; mode_t mode; };
    const Case kCases[] = {{"site/a.html", 65534, 65534, 0640},
                           {"site/b.html", 65534, 0, 0604},
                           {"site/c.html", 0, 65534, 0660},
                           {"site/d.html", 65534, 65534, 02750}};
    for (const Case& c : kCases) {
        write(c.name, pageText(3));
        ASSERT_EQ(::chown((folder / c.name).c_str(), c.owner, c.group), 0);
        ASSERT_EQ(::chmod((folder / c.name).c_str(), c.mode), 0);
    }
    const Outcome result = run({"-i", "-r", "site"});
    EXPECT_EQ(result.status, 0) << result.errors;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const struct stat after = status(c.name);
        EXPECT_NE(read(c.name), pageText(3));
        EXPECT_EQ(after.st_uid, c.owner);
        EXPECT_EQ(after.st_gid, c.group);
        EXPECT_EQ(after.st_mode & 07777, c.mode);
    }
}

TEST_F(TreeRun, ReplacedPageKeepsItsExtendedAttributes) {
    write("site/a.html", pageText(4));
    const std::string path = (folder / "site/a.html").string();
    const std::string value = "from the harbour archive";
    if (::setxattr(path.c_str(), "user.origin", value.data(), value.size(), 0) != 0) {
        if (errno == ENOTSUP) GTEST_SKIP() << "this file system keeps no user attributes";
        FAIL() << "setxattr: " << std::strerror(errno);
    }
    const Outcome result = run({"-i", "-r", "site"});
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_NE(read("site/a.html"), pageText(4));
    char kept[100] = {};
    const ssize_t length = ::getxattr(path.c_str(), "user.origin", kept, sizeof kept);
    EXPECT_EQ(std::string(kept, length < 0 ? 0 : length), value);
}

// A page with several names is left whole, so that every name keeps the same text.
TEST_F(TreeRun, PageWithHardLinksIsLeftAsItIs) {
    const std::string why = " hard links: left as it is, so that they keep one text\n";
    struct Case { std::vector<std::string> otherNames; std::string errors; };
    const Case kCases[] = {
        {{"keep.txt"}, "Couldn't generate file from site/a.html: has 2" + why},
        {{"keep.txt", "site/sub/twin.html"},
         "Couldn't generate file from site/a.html: has 3" + why +
             "Couldn't generate file from site/sub/twin.html: has 3" + why},
    };
    const std::string text = pageText(5);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.otherNames.back());
        fs::remove_all(folder / "site");
        fs::remove(folder / "keep.txt");
        write("site/a.html", text);
        write("site/b.html", text);
        for (const std::string& name : c.otherNames) {
            fs::create_directories((folder / name).parent_path());
            fs::create_hard_link(folder / "site/a.html", folder / name);
        }
        const Outcome result = run({"-i", "-r", "site"});
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.errors, c.errors);
        EXPECT_EQ(read("site/a.html"), text);
        for (const std::string& name : c.otherNames) {
            EXPECT_EQ(status(name).st_ino, status("site/a.html").st_ino) << name;
            EXPECT_EQ(read(name), text) << name;
        }
        EXPECT_NE(read("site/b.html"), text);
    }
}

// However a run ends, its list file goes with it (run() looks in TMPDIR after each).
TEST_F(TreeRun, ListFileGoesWithItsRun) {
    write("site/a.html", pageText(6));
    write("site/b.html", pageText(7));
    write("bad/zero.html", std::string("<p>a\0b</p>", 10));
    fs::create_directory(folder / "out");
    struct Case { std::vector<std::string> arguments; const char* input; int status; bool done; };
    const Case kCases[] = {
        {{"-i", "-r", "site"}, "", 0, true},
        {{"-r", "site"}, "y\nq\n", 0, false},
        {{"-r", "site"}, "n\n", 0, false},  // the answers end
        {{"-i", "-r", "bad"}, "", 1, true},
        {{"-r", "bad"}, "a\n", 1, true},
        {{"-i", "--output-dir=out", "-r", "site"}, "", 0, true},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.arguments.back() + " " + c.input);
        const Outcome result = run(c.arguments, c.input);
        EXPECT_EQ(result.status, c.status) << result.errors;
        EXPECT_EQ(result.output.ends_with("\ndone.\n"), c.done) << result.output;
    }
}

// A run waiting at its first question keeps a private list of its own in TMPDIR; a second
// run in the same working folder meanwhile converts its own tree, and nothing else.
TEST_F(TreeRun, TwoRunsAtOnceKeepTheirOwnLists) {
    const std::vector<std::string> first = {"one/a.html", "one/b.html", "one/sub/c.htm"};
    for (int i = 0; i < 3; ++i) {
        write(first[i], pageText(10 + i));
        write("two/" + std::to_string(i) + ".html", pageText(20 + i));
    }
    const Snapshot one = snapshot(folder / "one"), two = snapshot(folder / "two");
    BackgroundSetting waiting = setting();
    waiting.umask = 0;  // the list's rights are the program's choice, not the mask's
    BackgroundRun asking(folder.path(), {"-r", "one"}, waiting);
    ASSERT_TRUE(BackgroundRun::waitFor([&] { return asking.output().ends_with(kQuestion); }))
        << asking.output();
    const std::vector<std::string> lists = namesBeginningWith(tmp, "");
    ASSERT_EQ(lists.size(), 1u);
    const std::string name = fs::path(lists[0]).filename();
    EXPECT_TRUE(name.size() == 38 && name.starts_with("quillboxtmpoutput-") &&
                name.ends_with(".tmp") &&
                std::all_of(name.begin() + 18, name.end() - 4,
                            [](unsigned char c) { return std::isxdigit(c); }))
        << name;
    EXPECT_EQ(fs::status(lists[0]).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    const Outcome converted = BackgroundRun(folder.path(), {"-i", "-r", "two"}, setting()).finish();
    EXPECT_EQ(converted.status, 0) << converted.errors;
    for (const auto& [page, text] : snapshot(folder / "two")) EXPECT_NE(text, two.at(page)) << page;
    EXPECT_EQ(namesBeginningWith(tmp, ""), lists);

    asking.send("n\nn\nn\n");
    const Outcome declined = asking.finish();
    EXPECT_EQ(declined.status, 0) << declined.errors;
    EXPECT_TRUE(declined.output.ends_with("\ndone.\n")) << declined.output;
    EXPECT_EQ(countOf(declined.output, kQuestion), first.size());
    for (const std::string& page : first) EXPECT_EQ(countOf(declined.output, page + kQuestion), 1u);
    EXPECT_TRUE(sameFiles(snapshot(folder / "one"), one));
    EXPECT_EQ(namesBeginningWith(tmp, ""), kNone);
    EXPECT_EQ(namesBeginningWith(folder.path(), "quillboxtmp"), kNone);
}

// A run stopped by a signal, or by a reader that goes away, leaves no temporary file in the
// tree and no list; each page is its old text or its whole new one. Each stop of a kind
// comes at another point of the run.
TEST_F(TreeRun, StoppedRunLeavesNoTemporaryFiles) {
    const fs::path site = folder / "site";
    for (int page = 0; page < 1200; ++page) {
        const std::string name =
            "d" + std::to_string(page / 150) + "/p" + std::to_string(1000 + page) + ".html";
        write("site/" + name, pageText(page, 2 + page % 40));
        write("reference/" + name, pageText(page, 2 + page % 40));
    }
    ASSERT_EQ(run({"-i", "-r", "reference"}).status, 0);
    const Snapshot before = snapshot(site), converted = snapshot(folder / "reference");

    struct Stop { const char* name; int signal; };
    const Stop kStops[] = {
        {"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}, {"broken pipe", SIGPIPE}};
    for (const Stop& stop : kStops) {
        for (const size_t pagesFirst : {1, 3, 8, 20, 40, 60}) {
            SCOPED_TRACE(std::string(stop.name) + " after " + std::to_string(pagesFirst));
            BackgroundSetting how = setting();
            how.outputPipe = stop.signal == SIGPIPE;
            BackgroundRun program(folder.path(), {"-i", "-r", "site"}, how);
            ASSERT_TRUE(BackgroundRun::waitFor(
                [&] { return pageLines(program.output()) >= pagesFirst; }));
            if (stop.signal == SIGPIPE) program.closeOutput();
            else program.signal(stop.signal);
            program.finish();
            EXPECT_EQ(program.endSignal(), stop.signal);
            const std::vector<std::string> left = namesBeginningWith(site, ".quillbox-");
            EXPECT_EQ(left, kNone);
            EXPECT_EQ(namesBeginningWith(tmp, ""), kNone);
            Snapshot after = snapshot(site), oldOrNew = before;
            for (auto& [name, text] : oldOrNew) {
                const auto found = after.find(name);
                if (found != after.end() && found->second == converted.at(name))
                    text = found->second;
            }
            for (const std::string& path : left)
                after.erase(fs::path(path).lexically_relative(site));
            EXPECT_TRUE(sameFiles(after, oldOrNew));  // none cut short
            // The next stop starts from the original tree.
            for (const std::string& path : left) fs::remove(path);
            for (const auto& [name, text] : before)
                if (after[name] != text) writeFile(site / name, text);
        }
    }
}

// The temporary file's name does not grow with the page's, which may be as long as the file
// system allows.
TEST_F(TreeRun, PageWithALongNameConverts) {
    const std::string name = "site/" + std::string(245, 'n') + ".html";
    write(name, pageText(8));
    write("site/a.html", pageText(8));
    const Outcome result = run({"-i", "-r", "site"});
    EXPECT_EQ(result.status, 0) << result.errors;
    EXPECT_NE(read(name), pageText(8));
    EXPECT_EQ(read(name), read("site/a.html"));
}

// The converted tree goes below the output folder, pages only, the same as a copy converted
// in place; the tree itself stays as it was.
TEST_F(TreeRun, OutputFolderReceivesTheConvertedPages) {
    const std::vector<std::string> pages = {"index.html", "sub/Q.HTML", "sub/deep/p.htm"};
    for (size_t i = 0; i < pages.size(); ++i) write("site/" + pages[i], pageText(30, 3 + 9 * i));
    write("site/notes.txt", pageText(33));
    write("site/sub/image.png", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    fs::create_directory(folder / "site/empty");
    fs::copy(folder / "site", folder / "copy", fs::copy_options::recursive);
    ASSERT_EQ(run({"-i", "-r", "copy"}).status, 0);
    Snapshot expected;
    for (const std::string& page : pages) expected[page] = read("copy/" + page);
    const Snapshot tree = snapshot(folder / "site");

    const std::vector<std::vector<std::string>> kOrders = {
        {"-i", "--output-dir=out", "-r", "site"},
        {"--output-dir=out", "-i", "-r", "site"},
        {"-i", "-r", "site", "--output-dir=out"},
    };
    for (const auto& arguments : kOrders) {
        SCOPED_TRACE(arguments[0] + " " + arguments[1] + " " + arguments[2] + " " + arguments[3]);
        fs::remove_all(folder / "out");
        fs::create_directory(folder / "out");
        const Outcome result = run(arguments);
        EXPECT_EQ(result.status, 0) << result.errors;
        EXPECT_TRUE(sameFiles(snapshot(folder / "site"), tree));
        EXPECT_TRUE(sameFiles(snapshot(folder / "out"), expected));
    }
}

// Runs that cannot do what they are asked say what is wrong, naming it, claim no end of a
// conversion and change nothing.
TEST_F(TreeRun, RefusedRuns) {
    write("site/a.html", pageText(40));
    write("site/inner/b.html", pageText(41));
    write("notes.txt", pageText(42));
    const Snapshot before = snapshot(folder.path());
    struct Case { std::vector<std::string> arguments; int status; std::vector<std::string> named; };
    std::vector<Case> cases = {
        {{"-i", "-r", "missing_dir"}, 1, {"missing_dir"}},
        {{"-i", "-r", "site/a.html"}, 1, {"site/a.html"}},
        {{"-i", "-r", "notes.txt"}, 1, {"notes.txt"}},
        // An output folder in the tree would be walked while it is written: both are named.
        {{"-i", "--output-dir=site", "-r", "site"}, 1, {"site", "site"}},
        {{"-i", "--output-dir=site/inner", "-r", "site"}, 1, {"site/inner", "site"}},
        {{"-i", "--output-dir=site/inner/", "-r", "./site/"}, 1, {"site/inner/", "./site/"}},
        {{"--output-dir=site/../site", "-i", "-r", "site"}, 1, {"site/../site", "site"}},
        // One output file cannot hold a tree.
        {{"-i", "--output=page.htm", "-r", "site"}, 255, {"Error : ", "--output"}},
    };
    for (const std::string value : {"0", "x", "-1", "2x", "257", ""})
        cases.push_back({{"-i", "--jobs=" + value, "-r", "site"}, 255, {"--jobs", value}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments[1] + " " + c.arguments.back());
        const Outcome result = run(c.arguments);
        EXPECT_EQ(result.status, c.status);
        std::string rest = result.errors;  // each name found is taken out: twice means twice
        for (const std::string& name : c.named) {
            const size_t at = rest.find(name);
            EXPECT_NE(at, std::string::npos) << name << " in " << result.errors;
            if (at != std::string::npos) rest.erase(at, name.size());
        }
        EXPECT_EQ(result.output.find("done."), std::string::npos) << result.output;
        EXPECT_TRUE(sameFiles(snapshot(folder.path()), before));
    }
}

// Pages converted several at a time, without questions or after the answer "all", give the
// same files and the same text, in the list's order, as pages converted one by one,
// failures included.
TEST_F(TreeRun, JobsGiveTheSameResult) {
    const bool unprivileged = console_run::canRunUnprivileged();
    struct Run { std::vector<std::string> arguments; std::string input; };
    const Run kRuns[] = {{{"-i", "--jobs=1", "-r", "site"}, ""},
                         {{"-i", "--jobs=4", "-r", "site"}, ""},
                         {{"-i", "-r", "site"}, ""},
                         {{"--jobs=4", "-r", "site"}, "all\n"}};
    std::vector<Outcome> results;
    std::vector<Snapshot> trees;
    for (size_t run = 0; run < std::size(kRuns); ++run) {
        const fs::path work = folder / ("w" + std::to_string(run));
        for (int page = 0; page < 200; ++page) {
            writeFile(work / ("site/d" + std::to_string(page / 40) + "/p" +
                              std::to_string(100 + page) + ".html"),
                      pageText(page, page % 7 == 0 ? 150 : 1 + page % 30));
        }
        writeFile(work / "site/d1/p150.html", "");
        writeFile(work / "site/d3/p230.html", std::string("<p>zero\0byte</p>", 16));
        fs::permissions(work, fs::perms::all);
        for (const auto& entry : fs::recursive_directory_iterator(work))
            fs::permissions(entry.path(), fs::perms::all);
        // Read by all, written by none: left as it is when the program runs as another user.
        if (unprivileged) {
            fs::permissions(work / "site/d4/p266.html",
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        }
        BackgroundRun program(work, kRuns[run].arguments, setting(unprivileged));
        program.send(kRuns[run].input);
        results.push_back(program.finish());
        trees.push_back(snapshot(work / "site"));
    }
    EXPECT_EQ(results[0].status, 1);
    EXPECT_EQ(completeLines(results[0].errors).size(), unprivileged ? 2u : 1u) << results[0].errors;
    std::vector<std::string> printed;
    for (const std::string& line : completeLines(results[0].output))
        if (line.ends_with(".html")) printed.push_back(line.substr(line.rfind(' ') + 1));
    EXPECT_EQ(printed.size(), unprivileged ? 198u : 199u) << results[0].output;
    EXPECT_TRUE(std::is_sorted(printed.begin(), printed.end()));
    // After its one question, the answer's run prints what the others print after the banner.
    std::string& asked = results.back().output;
    ASSERT_NE(asked.find(kQuestion), std::string::npos) << asked;
    asked.erase(0, asked.find(kQuestion) + kQuestion.size());
    const std::string& all = results[0].output;
    const std::string afterBanner = all.substr(all.rfind('\n', all.find("site/d0/p100.html")) + 1);
    for (size_t run = 1; run < std::size(kRuns); ++run) {
        SCOPED_TRACE(kRuns[run].arguments[0] + " " + kRuns[run].arguments[1]);
        EXPECT_EQ(results[run].status, results[0].status);
        EXPECT_EQ(results[run].output, run + 1 < std::size(kRuns) ? all : afterBanner);
        EXPECT_EQ(results[run].errors, results[0].errors);
        EXPECT_TRUE(sameFiles(trees[run], trees[0]));
    }
}

TEST_F(TreeRun, EmptyAnswerAsksAgain) {
    for (const std::string input : {"\ny\n", " \n\t\nyes\n"}) {
        SCOPED_TRACE(input);
        write("site/a.html", pageText(70));
        const Outcome result = run({"-r", "site"}, input);
        EXPECT_EQ(result.status, 0);
        EXPECT_EQ(countOf(result.output, "site/a.html" + kQuestion), countOf(input, "\n"));
        EXPECT_NE(read("site/a.html"), pageText(70));
        EXPECT_TRUE(result.output.ends_with("\ndone.\n")) << result.output;
    }
}

}  // namespace
