#include "command_line.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>

#include "engine.h"
#include "quillbox_version.h"
#include "file_lists.h"
#include "file_patterns.h"
#include "safe_files.h"

namespace {

constexpr const char* kBanner =
    "Quillbox : Web Compaction Utility      Version 0.9a Mar 21 1999 \n"
    "Copyright (c) 1999-2026 the Quillbox developers. Free software; -l shows the licence.\n";

constexpr const char* kUsage =
    "Usage : quillbox [-p] [-lv] [-d<path>] <filename>.\n\n"
    " v : Verbose output on.\n"
    " l : Licence agreement.\n"
    " p : Piping on.\n"
    " i : Interactive off.\n"
    " s : Cgi-server processing\n"
    " r : Convert all .htm? files in sub-directories.\n\n";

constexpr const char* kLongOptions =
    "Long options:\n"
    "  --help                 this text\n"
    "  --version              the program's version\n"
    "  --method=best|js|plain packing method (default best: both, the smaller kept)\n"
    "  --keep-comments        keep comments (as -c)\n"
    "  --remove-meta          remove META tags (those declaring the character set stay)\n"
    "  --code-char-limit=N    byte values below N may serve as codes (1 to 256)\n"
    "  --output-chunk=N       decoder steps between two writes of a packed page (1 to 1000000)\n"
    "  --output=FILE          file mode writes FILE instead of output.htm\n"
    "  --output-dir=DIR       file mode writes each page under its own name in DIR; with -r,\n"
    "                         the converted tree goes under DIR and the tree stays as it is\n"
    "  --jobs=N               with -r, pages converted at once when no question is asked\n"
    "                         (default: the number of processors)\n";

constexpr const char* kLicence =
    "\nPermission is hereby granted, free of charge, to any person obtaining a copy of this\n"
    "software and associated documentation files (the \"Software\"), to deal in the Software\n"
    "without restriction, including without limitation the rights to use, copy, modify, merge,\n"
    "publish, distribute, sublicense, and/or sell copies of the Software, and to permit persons\n"
    "to whom the Software is furnished to do so, subject to the following conditions:\n\n"
    "The above copyright notice and this permission notice shall be included in all copies or\n"
    "substantial portions of the Software.\n\n"
    "THE SOFTWARE IS PROVIDED \"AS IS\", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR IMPLIED,\n"
    "INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY, FITNESS FOR A PARTICULAR\n"
    "PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE AUTHORS OR COPYRIGHT HOLDERS BE LIABLE\n"
    "FOR ANY CLAIM, DAMAGES OR OTHER LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR\n"
    "OTHERWISE, ARISING FROM, OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER\n"
    "DEALINGS IN THE SOFTWARE.\n";

// What the switches ask of the conversions, beyond the engine options.
struct ConsoleChoices {
    int methods = FLAG_PLAIN | FLAG_JAVASCRIPT;
    bool keepComments = false;
    bool removeMeta = false;
    bool piping = false;
    std::string outputFile = "output.htm";
    bool outputFileGiven = false;
    std::string outputDir;  // when set, each page keeps its own name in this folder
    int jobs = 0;           // directory mode's pages at once; 0: one per processor
};

// The flags passed to convertFile: 0 (the default set) unless a switch changed it.
int conversionFlags(const ConsoleChoices& choices) {
    const int flags = choices.methods | (choices.keepComments ? 0 : FLAG_NO_COMMENTS) |
                      (choices.removeMeta ? FLAG_NO_META : 0);
    return flags == FLAG_DEFAULT_SET ? 0 : flags;
}

// Reads a whole decimal number within [low, high]; false otherwise.
bool parseNumber(std::string_view text, long low, long high, long& value) {
    if (text.empty() || text.size() > 9) return false;
    long number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + (c - '0');
    }
    if (number < low || number > high) return false;
    value = number;
    return true;
}

[[noreturn]] void failWithOption(const std::string& message) {
    const std::string text = message + "\n";
    fatalError(text.c_str());
}

// Applies one long option ("--name" or "--name=value") in the switch pass.
void applyLongOption(Engine& engine, ConsoleChoices& choices, std::string_view argument) {
    const size_t equals = argument.find('=');
    const std::string_view name = argument.substr(2, equals == std::string_view::npos
                                                          ? std::string_view::npos
                                                          : equals - 2);
    const bool hasValue = equals != std::string_view::npos;
    const std::string_view value = hasValue ? argument.substr(equals + 1) : std::string_view{};
    const auto requireValue = [&] {
        if (!hasValue || value.empty()) {
            failWithOption("Option --" + std::string(name) + " needs a value.");
        }
    };
    const auto refuseValue = [&] {
        if (hasValue) failWithOption("Option --" + std::string(name) + " takes no value.");
    };
    long number = 0;
    if (name == "help") {
        refuseValue();
        std::fputs(kBanner, stdout);
        std::fputs(kUsage, stdout);
        std::fputs(kLongOptions, stdout);
        std::exit(0);
    } else if (name == "version") {
        refuseValue();
        std::puts("quillbox " QUILLBOX_VERSION);
        std::exit(0);
    } else if (name == "method") {
        requireValue();
        if (value == "best") choices.methods = FLAG_PLAIN | FLAG_JAVASCRIPT;
        else if (value == "js") choices.methods = FLAG_JAVASCRIPT;
        else if (value == "plain") choices.methods = FLAG_PLAIN;
        else failWithOption("Bad value for --method: " + std::string(value) +
                            " (best, js or plain).");
    } else if (name == "keep-comments") {
        refuseValue();
        choices.keepComments = true;
        engine.options.keepComments = 1;
    } else if (name == "remove-meta") {
        refuseValue();
        choices.removeMeta = true;
    } else if (name == "code-char-limit") {
        requireValue();
        if (!parseNumber(value, 1, 256, number)) {
            failWithOption("Bad value for --code-char-limit: " + std::string(value) +
                           " (1 to 256).");
        }
        setCodeCharLimit(engine, static_cast<int>(number));
    } else if (name == "output-chunk") {
        requireValue();
        if (!parseNumber(value, 1, 1000000, number)) {
            failWithOption("Bad value for --output-chunk: " + std::string(value) +
                           " (1 to 1000000).");
        }
        setOutputChunk(engine, static_cast<int>(number));
    } else if (name == "output") {
        requireValue();
        choices.outputFile = std::string(value);
        choices.outputFileGiven = true;
    } else if (name == "jobs") {
        requireValue();
        if (!parseNumber(value, 1, 256, number)) {
            failWithOption("Bad value for --jobs: " + std::string(value) + " (1 to 256).");
        }
        choices.jobs = static_cast<int>(number);
    } else if (name == "output-dir") {
        requireValue();
        // Checked now, so that a mistyped folder fails once instead of at every page.
        std::error_code error;
        if (!std::filesystem::is_directory(std::filesystem::path(value), error)) {
            failWithOption("Bad value for --output-dir: " + std::string(value) +
                           " (no such folder).");
        }
        choices.outputDir = std::string(value);
    } else {
        failWithOption("Unknown option " + std::string(argument) + ".");
    }
}

// The name a failure message gives to the piped page.
constexpr const char* kPipedInputName = "(standard input)";

// Whether the last page was converted or copied as already packed. When it was not, one
// line on the error stream names it and says why, unless the driver has told already (it
// prints write errors itself). A `reason` given means the page was not even tried.
bool pageDone(Engine& engine, const std::string& name, const std::string& reason = {}) {
    const PageReport& page = engine.lastPage;
    if (reason.empty() && (page.outcome == PageOutcome::Converted ||
                           page.outcome == PageOutcome::AlreadyPacked)) {
        return true;
    }
    if (reason.empty() && page.outcome == PageOutcome::NotWritten) return false;
    std::string why = reason.empty() ? describeFailure(page) : reason;
    if (page.copiedThrough && reason.empty()) why += "; copied through unchanged";
    std::fflush(stdout);  // keeps the message after the lines printed before it
    std::fprintf(stderr, "Couldn't generate file from %s: %s\n", name.c_str(), why.c_str());
    std::fflush(stderr);
    return false;
}

// Converts the page on standard input to standard output; false when it was not.
bool runPipingMode(Engine& engine, int flags) {
    convertFile(engine, nullptr, nullptr, NO_BOUND, flags);
    std::fflush(stdout);
    const PageReport& page = engine.lastPage;
    // A page that was to be copied through but could not be written has had its write error.
    if (page.outcome == PageOutcome::HoldsZeroBytes && !page.copiedThrough) return false;
    return pageDone(engine, kPipedInputName);
}

// Converts the files that match each pattern, in name order. Returns how many matches were
// not converted; a pattern that matches nothing ends the run through fatalError.
int runFileMode(Engine& engine, const ConsoleChoices& choices, int flags, int argc,
                char** argv, int first) {
    PatternFinder finder;
    int notConverted = 0;
    for (int i = first; i < argc; ++i) {
        const std::vector<PatternMatch> matches = finder.find(argv[i]);
        if (matches.empty()) {
            const std::string message = "Filenames not found: " + std::string(argv[i]) + ".";
            fatalError(message.c_str());
        }
        const bool named = !hasWildcard(argv[i]);
        for (const PatternMatch& match : matches) {
            // A folder, or a pipe that a wildcard happened to match, is no page to read.
            if (match.kind == EntryKind::Folder ||
                (match.kind == EntryKind::Other && !named)) {
                const char* why = match.kind == EntryKind::Folder ? "is a folder"
                                                                  : "is not a regular file";
                if (!pageDone(engine, match.path, why)) ++notConverted;
                continue;
            }
            std::string output = choices.outputDir.empty()
                                     ? choices.outputFile
                                     : (std::filesystem::path(choices.outputDir) / match.name)
                                           .string();
            convertFile(engine, match.path.c_str(), &output, NO_BOUND, flags);
            std::fflush(stdout);
            if (!pageDone(engine, match.path)) ++notConverted;
        }
    }
    return notConverted;
}

}  // namespace

int runConsole(int argc, char** argv) {
    // A run stopped by Ctrl-C, a hang-up, a termination or a broken pipe leaves no temporary
    // file behind.
    removeTemporaryFilesOnSignals();
    Engine engine;
    ConsoleChoices choices;
    engine.options.interactive = 1;
    if (argc < 2) {
        std::fputs(kBanner, stdout);
        std::fputs(kUsage, stdout);
        return 0;
    }

    // Switch pass: only the arguments at the front that begin with '-'; "--" ends them, so
    // that a name beginning with '-' can follow.
    for (int i = 1; i < argc && argv[i][0] == '-'; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-") continue;
        if (argument == "--") break;
        if (argument.size() > 2 && argument[1] == '-') {
            applyLongOption(engine, choices, argument);
            continue;
        }
        switch (argument[1]) {
            case '?':
            case 'h':
                std::fputs(kBanner, stdout);
                std::fputs(kUsage, stdout);
                return 0;
            case 'c':
                choices.keepComments = true;
                engine.options.keepComments = 1;
                break;
            case 'd':
                engine.options.debugDump = 1;
                break;
            case 'i':
                engine.options.interactive = 0;
                break;
            case 'l':
                std::fputs(kBanner, stdout);
                std::fputs(kLicence, stdout);
                return 0;
            case 'p':
                engine.options.progressDots = 0;
                choices.piping = true;
                break;
            case 'r':
                // The folder that follows is no switch, so switches may come after it too.
                if (i + 2 < argc && std::string_view(argv[i + 1]) == "--") i += 2;
                else if (i + 1 < argc && argv[i + 1][0] != '-') ++i;
                break;
            case 's':
                engine.options.serverHeader = 1;
                break;
            case 'v':
                engine.options.progressDots = 0;
                break;
            default: {
                std::fputs(kUsage, stdout);
                const std::string message = "Unknown switch " + std::string(argument) + ".\n";
                fatalError(message.c_str());
            }
        }
    }
    if (!choices.piping) std::fputs(kBanner, stdout);
    std::fflush(stdout);
    const int flags = conversionFlags(choices);

    // Action pass: the first of -p and -r acts; other switches are passed over.
    int i = 1;
    for (; i < argc && argv[i][0] == '-'; ++i) {
        if (std::string_view(argv[i]) == "--") {
            ++i;
            break;
        }
        const char letter = argv[i][1];
        if (letter == 'p') return runPipingMode(engine, flags) ? 0 : 1;
        if (letter == 'r') {
            int directory = i + 1;
            if (directory < argc && std::string_view(argv[directory]) == "--") ++directory;
            if (directory >= argc) fatalError("Unspecified Directory.\n");
            if (choices.outputFileGiven) {
                fatalError("--output names one file; with -r, use --output-dir=DIR for the "
                           "converted tree.\n");
            }
            TreeOptions tree;
            tree.outputFolder = choices.outputDir;
            tree.jobs = choices.jobs > 0
                            ? choices.jobs
                            : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
            const int notConverted = convertList(engine, argv[directory], flags, tree);
            if (notConverted >= 0) std::fputs("\ndone.\n", stdout);
            return notConverted == 0 ? 0 : 1;
        }
    }
    if (i >= argc) fatalError("No filename given.");
    const int notConverted = runFileMode(engine, choices, flags, argc, argv, i);
    std::fputs("done.\n\n", stdout);
    return notConverted == 0 ? 0 : 1;
}
