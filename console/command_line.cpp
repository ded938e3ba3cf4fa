#include "command_line.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "engine.h"
#include "quillbox_version.h"
#include "file_lists.h"
#include "file_patterns.h"
#include "run_report.h"
#include "safe_files.h"

namespace {

constexpr const char* kBanner =
    "Quillbox : Web Compaction Utility      Version " QUILLBOX_VERSION " \n"
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
    "                         (default: the number of processors)\n"
    "  --served=raw|gzip|br   keep the method whose page is smaller as the server sends it:\n"
    "                         as it is (default), after gzip -9 or after brotli at quality 11\n"
    "  --report=FILE          write one line of JSON for every page tried into FILE\n";

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
    std::string reportFile;  // the run report's file, when asked for
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

// The streams of one run: standard input, output and error, or what a caller puts in their
// place.
struct Io {
    std::FILE* in;
    std::FILE* out;
    std::FILE* err;
};

// Ends the run with `status`, from however deep in it; runConsole returns the status.
struct RunEnd {
    int status;
};

// Prints "\nError : <message>" on the error stream and ends the run with status -1.
[[noreturn]] void fatalError(const Io& io, const char* message) {
    std::fflush(io.out);  // what came before stays before the message
    std::fprintf(io.err, "\nError : %s", message);
    std::fflush(io.err);
    throw RunEnd{-1};
}

[[noreturn]] void failWithOption(const Io& io, const std::string& message) {
    const std::string text = message + "\n";
    fatalError(io, text.c_str());
}

// Applies one long option ("--name" or "--name=value") in the switch pass.
void applyLongOption(const Io& io, Engine& engine, ConsoleChoices& choices,
                     std::string_view argument) {
    const size_t equals = argument.find('=');
    const std::string_view name = argument.substr(2, equals == std::string_view::npos
                                                          ? std::string_view::npos
                                                          : equals - 2);
    const bool hasValue = equals != std::string_view::npos;
    const std::string_view value = hasValue ? argument.substr(equals + 1) : std::string_view{};
    const auto requireValue = [&] {
        if (!hasValue || value.empty()) {
            failWithOption(io, "Option --" + std::string(name) + " needs a value.");
        }
    };
    const auto refuseValue = [&] {
        if (hasValue) failWithOption(io, "Option --" + std::string(name) + " takes no value.");
    };
    long number = 0;
    if (name == "help") {
        refuseValue();
        std::fputs(kBanner, io.out);
        std::fputs(kUsage, io.out);
        std::fputs(kLongOptions, io.out);
        throw RunEnd{0};
    } else if (name == "version") {
        refuseValue();
        std::fputs("quillbox " QUILLBOX_VERSION "\n", io.out);
        throw RunEnd{0};
    } else if (name == "method") {
        requireValue();
        if (value == "best") choices.methods = FLAG_PLAIN | FLAG_JAVASCRIPT;
        else if (value == "js") choices.methods = FLAG_JAVASCRIPT;
        else if (value == "plain") choices.methods = FLAG_PLAIN;
        else failWithOption(io, "Bad value for --method: " + std::string(value) +
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
            failWithOption(io, "Bad value for --code-char-limit: " + std::string(value) +
                           " (1 to 256).");
        }
        setCodeCharLimit(engine, static_cast<int>(number));
    } else if (name == "output-chunk") {
        requireValue();
        if (!parseNumber(value, 1, 1000000, number)) {
            failWithOption(io, "Bad value for --output-chunk: " + std::string(value) +
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
            failWithOption(io, "Bad value for --jobs: " + std::string(value) + " (1 to 256).");
        }
        choices.jobs = static_cast<int>(number);
    } else if (name == "served") {
        requireValue();
        const std::optional<Served> served = parseServed(value);
        if (!served) {
            failWithOption(io, "Bad value for --served: " + std::string(value) +
                                   " (raw, gzip or br).");
        }
        engine.options.served = *served;
    } else if (name == "report") {
        requireValue();
        choices.reportFile = std::string(value);
    } else if (name == "output-dir") {
        requireValue();
        // Checked now, so that a mistyped folder fails once instead of at every page.
        std::error_code error;
        if (!std::filesystem::is_directory(std::filesystem::path(value), error)) {
            failWithOption(io, "Bad value for --output-dir: " + std::string(value) +
                           " (no such folder).");
        }
        choices.outputDir = std::string(value);
    } else {
        failWithOption(io, "Unknown option " + std::string(argument) + ".");
    }
}


// Whether the last page was converted or copied as already packed. When it was not, one
// line on the error stream names it and says why, unless the driver has told already (it
// prints write errors itself). A `reason` given means the page was not even tried.
bool pageDone(const Io& io, Engine& engine, const std::string& name,
              const std::string& reason = {}) {
    const PageReport& page = engine.lastPage;
    if (reason.empty() && (page.outcome == PageOutcome::Converted ||
                           page.outcome == PageOutcome::AlreadyPacked)) {
        return true;
    }
    if (reason.empty() && page.outcome == PageOutcome::NotWritten) return false;
    std::string why = reason.empty() ? describeFailure(page) : reason;
    if (page.copiedThrough && reason.empty()) why += "; copied through unchanged";
    std::fflush(io.out);  // keeps the message after the lines printed before it
    std::fprintf(io.err, "Couldn't generate file from %s: %s\n", name.c_str(), why.c_str());
    std::fflush(io.err);
    if (!reason.empty()) reportPage(engine, name, {}, reason);  // the page was not tried
    return false;
}

// Converts the page on standard input to standard output; false when it was not.
bool runPipingMode(const Io& io, Engine& engine, int flags) {
    convertFile(engine, nullptr, nullptr, NO_BOUND, flags);
    std::fflush(io.out);
    const PageReport& page = engine.lastPage;
    // A page that was to be copied through but could not be written has had its write error.
    if (page.outcome == PageOutcome::HoldsZeroBytes && !page.copiedThrough) return false;
    return pageDone(io, engine, PIPED_INPUT_NAME);
}

// Converts the files that match each pattern, in name order. Returns how many matches were
// not converted; a pattern that matches nothing ends the run through fatalError.
int runFileMode(const Io& io, Engine& engine, const ConsoleChoices& choices, int flags,
                const std::vector<std::string>& args, size_t first) {
    PatternFinder finder;
    int notConverted = 0;
    for (size_t i = first; i < args.size(); ++i) {
        const std::vector<PatternMatch> matches = finder.find(args[i]);
        if (matches.empty()) {
            const std::string message = "Filenames not found: " + args[i] + ".";
            fatalError(io, message.c_str());
        }
        const bool named = !hasWildcard(args[i]);
        for (const PatternMatch& match : matches) {
            // A folder, or a pipe that a wildcard happened to match, is no page to read.
            if (match.kind == EntryKind::Folder ||
                (match.kind == EntryKind::Other && !named)) {
                const char* why = match.kind == EntryKind::Folder ? "is a folder"
                                                                  : "is not a regular file";
                if (!pageDone(io, engine, match.path, why)) ++notConverted;
                continue;
            }
            std::string output = choices.outputDir.empty()
                                     ? choices.outputFile
                                     : (std::filesystem::path(choices.outputDir) / match.name)
                                           .string();
            convertFile(engine, match.path.c_str(), &output, NO_BOUND, flags);
            std::fflush(io.out);
            if (!pageDone(io, engine, match.path)) ++notConverted;
        }
    }
    return notConverted;
}

// The run itself; ends by returning its status or through RunEnd.
int run(const Io& io, const std::vector<std::string>& args) {
    Engine engine;
    engine.console = io.out;
    engine.output = io.out;
    engine.errors = io.err;
    engine.input = io.in;
    ConsoleChoices choices;
    engine.options.interactive = 1;
    if (args.size() < 2) {
        std::fputs(kBanner, io.out);
        std::fputs(kUsage, io.out);
        return 0;
    }

    // Switch pass: only the arguments at the front that begin with '-'; "--" ends them, so
    // that a name beginning with '-' can follow.
    for (size_t i = 1; i < args.size() && args[i][0] == '-'; ++i) {
        const std::string_view argument = args[i];
        if (argument == "-") continue;
        if (argument == "--") break;
        if (argument.size() > 2 && argument[1] == '-') {
            applyLongOption(io, engine, choices, argument);
            continue;
        }
        switch (argument[1]) {
            case '?':
            case 'h':
                std::fputs(kBanner, io.out);
                std::fputs(kUsage, io.out);
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
                std::fputs(kBanner, io.out);
                std::fputs(kLicence, io.out);
                return 0;
            case 'p':
                engine.options.progressDots = 0;
                choices.piping = true;
                break;
            case 'r':
                // The folder that follows is no switch, so switches may come after it too.
                if (i + 2 < args.size() && args[i + 1] == "--") i += 2;
                else if (i + 1 < args.size() && args[i + 1][0] != '-') ++i;
                break;
            case 's':
                engine.options.serverHeader = 1;
                break;
            case 'v':
                engine.options.progressDots = 0;
                break;
            default: {
                std::fputs(kUsage, io.out);
                const std::string message = "Unknown switch " + std::string(argument) + ".\n";
                fatalError(io, message.c_str());
            }
        }
    }
    // The run report: a new file, written as pages end and closed with the run.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> report(nullptr, std::fclose);
    if (!choices.reportFile.empty()) {
        report.reset(std::fopen(choices.reportFile.c_str(), "w"));
        if (!report) {
            const std::string message = "Cannot write the report " + choices.reportFile + ": " +
                                        std::strerror(errno) + "\n";
            fatalError(io, message.c_str());
        }
        engine.report = report.get();
    }
    if (!choices.piping) std::fputs(kBanner, io.out);
    std::fflush(io.out);
    const int flags = conversionFlags(choices);

    // Action pass: the first of -p and -r acts; other switches are passed over.
    size_t i = 1;
    for (; i < args.size() && args[i][0] == '-'; ++i) {
        if (args[i] == "--") {
            ++i;
            break;
        }
        const char letter = args[i][1];
        if (letter == 'p') return runPipingMode(io, engine, flags) ? 0 : 1;
        if (letter == 'r') {
            size_t directory = i + 1;
            if (directory < args.size() && args[directory] == "--") ++directory;
            if (directory >= args.size()) fatalError(io, "Unspecified Directory.\n");
            if (choices.outputFileGiven) {
                fatalError(io, "--output names one file; with -r, use --output-dir=DIR for the "
                           "converted tree.\n");
            }
            TreeOptions tree;
            tree.outputFolder = choices.outputDir;
            tree.jobs = choices.jobs > 0
                            ? choices.jobs
                            : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
            const ListOutcome run = convertList(engine, args[directory], flags, tree);
            // "q", or the end of the answers, ends the run at once, without the closing line.
            if (!run.quit && run.notConverted >= 0) std::fputs("\ndone.\n", io.out);
            return run.notConverted == 0 ? 0 : 1;
        }
    }
    if (i >= args.size()) fatalError(io, "No filename given.");
    const int notConverted = runFileMode(io, engine, choices, flags, args, i);
    std::fputs("done.\n\n", io.out);
    return notConverted == 0 ? 0 : 1;
}

}  // namespace

int runConsole(const std::vector<std::string>& args, std::FILE* in, std::FILE* out,
               std::FILE* err) {
    try {
        return run(Io{in, out, err}, args);
    } catch (const RunEnd& end) {
        return end.status;
    }
}

int runConsole(int argc, char** argv) {
    return runConsole(std::vector<std::string>(argv, argv + argc), stdin, stdout, stderr);
}
