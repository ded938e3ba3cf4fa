// The run report (--report) and the choice by served size (--served): every line parses as
// JSON and matches the files written, in file, piping and directory mode.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "console/console_run.h"
#include "served_size.h"

namespace {

namespace fs = std::filesystem;
using console_run::readFile;
using console_run::writeFile;

using Fields = std::map<std::string, std::string>;

// The report's lines as parsed by Python's JSON reader: each field as text, null as "null".
std::vector<Fields> parsedReport(const fs::path& report) {
    const std::string command =
        "python3 -c 'import json,sys\n"
        "for line in open(sys.argv[1], encoding=\"utf-8\"):\n"
        "    for key, value in json.loads(line).items():\n"
        "        print(key + \"=\" + (\"null\" if value is None else str(value)))\n"
        "    print(\"--\")' " +
        report.string();
    std::vector<Fields> lines(1);
    std::FILE* parser = popen(command.c_str(), "r");
    if (!parser) return {};
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, parser)) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        if (line == "--") {
            lines.emplace_back();
        } else {
            const size_t equals = line.find('=');
            lines.back()[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    const int status = pclose(parser);
    lines.pop_back();
    return status == 0 ? lines : std::vector<Fields>{};
}

// Checks a line of a converted page against the files: sizes raw and compressed.
void expectMatchesFiles(const fs::path& folder, const Fields& line) {
    const std::string input = readFile(folder / line.at("input"));
    const std::string output = line.at("output") == "(standard output)"
                                   ? std::string()
                                   : readFile(folder / line.at("output"));
    EXPECT_EQ(line.at("input_bytes"), std::to_string(input.size()));
    EXPECT_EQ(line.at("input_gzip"), std::to_string(servedSize(input, Served::Gzip)));
    EXPECT_EQ(line.at("input_br"), std::to_string(servedSize(input, Served::Brotli)));
    if (line.at("output") == "(standard output)") return;
    EXPECT_EQ(line.at("output_bytes"), std::to_string(output.size()));
    EXPECT_EQ(line.at("output_gzip"), std::to_string(servedSize(output, Served::Gzip)));
    EXPECT_EQ(line.at("output_br"), std::to_string(servedSize(output, Served::Brotli)));
}

class RunReport : public ::testing::Test {
protected:
    console_run::TempFolder folder;

    void SetUp() override {
        for (const char* name : {"article.html", "forms.html", "scripts.html"}) {
            fs::copy_file(fs::path(QUILLBOX_TEST_DATA) / "pages" / name, folder / name);
        }
        writeFile(folder / "packed.html", "<!--Quillbox--><p>already packed</p>");
        writeFile(folder / "utf16.html", std::string("<\0p\0>\0", 6));
        fs::create_directory(folder / "out");
    }
};

TEST_F(RunReport, FileModeLinesMatchTheFiles) {
    const auto result = console_run::runQuillbox(
        folder.path(), {"--served=gzip", "--report=report.jsonl", "--output-dir=out", "*.html"});
    EXPECT_EQ(result.status, 1);  // the UTF-16 page is not converted
    const std::vector<Fields> lines = parsedReport(folder / "report.jsonl");
    ASSERT_EQ(lines.size(), 5u);
    std::map<std::string, std::string> status;
    for (const Fields& line : lines) {
        status[line.at("input")] = line.at("status");
        if (line.at("status") == "failed") {
            EXPECT_EQ(line.at("output"), "null");
            EXPECT_EQ(line.at("reason"), "holds zero bytes (UTF-16 or UTF-32 text, or binary data)");
            continue;
        }
        expectMatchesFiles(folder.path(), line);
        EXPECT_EQ(line.at("reason"), "null");
        if (line.at("status") == "converted") {
            EXPECT_TRUE(line.at("method") == "plain" || line.at("method") == "js");
        }
    }
    EXPECT_EQ(status, (std::map<std::string, std::string>{{"article.html", "converted"},
                                                          {"forms.html", "converted"},
                                                          {"packed.html", "copied"},
                                                          {"scripts.html", "converted"},
                                                          {"utf16.html", "failed"}}));
    // The ratio line says it counts gzip's sizes.
    EXPECT_NE(result.output.find("after gzip, "), std::string::npos) << result.output;
}

TEST_F(RunReport, DirectoryModeByTwoJobsAndPipingMode) {
    fs::create_directory(folder / "site");
    for (const char* name : {"article.html", "forms.html", "utf16.html"})
        fs::rename(folder / name, folder / "site" / name);
    const auto tree = console_run::runQuillbox(
        folder.path(), {"-i", "--jobs=2", "--report=tree.jsonl", "--output-dir=out", "-r", "site"});
    EXPECT_EQ(tree.status, 1);
    const std::vector<Fields> lines = parsedReport(folder / "tree.jsonl");
    ASSERT_EQ(lines.size(), 3u);
    for (const Fields& line : lines) {
        if (line.at("input").ends_with("utf16.html")) {
            EXPECT_EQ(line.at("status"), "failed");
        } else {
            EXPECT_EQ(line.at("status"), "converted");
            expectMatchesFiles(folder.path(), line);
        }
    }

    const auto piped = console_run::runQuillbox(folder.path(), {"-p", "--report=pipe.jsonl"},
                                                readFile(folder / "scripts.html"));
    EXPECT_EQ(piped.status, 0);
    const std::vector<Fields> pipedLines = parsedReport(folder / "pipe.jsonl");
    ASSERT_EQ(pipedLines.size(), 1u);
    EXPECT_EQ(pipedLines[0].at("input"), "(standard input)");
    EXPECT_EQ(pipedLines[0].at("output_bytes"), std::to_string(piped.output.size()));
    EXPECT_EQ(pipedLines[0].at("output_gzip"), std::to_string(servedSize(piped.output, Served::Gzip)));
}

TEST_F(RunReport, BadValuesAndUnwritableReport) {
    const auto served = console_run::runQuillbox(folder.path(), {"--served=zip", "forms.html"});
    EXPECT_EQ(served.status, 255);
    EXPECT_NE(served.errors.find("Bad value for --served: zip (raw, gzip or br)."), std::string::npos);
    const auto report =
        console_run::runQuillbox(folder.path(), {"--report=no/such/folder/r.jsonl", "forms.html"});
    EXPECT_EQ(report.status, 255);
    EXPECT_NE(report.errors.find("Cannot write the report no/such/folder/r.jsonl"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder / "output.htm"));  // nothing converted without its report
}

}  // namespace
