// A long generated page for the tests of large pages.
#pragma once

#include <random>
#include <string>

// A long page of repeated words in paragraphs and lists, with blocks that a split point may
// fall into: raw text, styles, comments, preformatted text, a textarea, head tags. (A script
// after body text would leave the page unpacked: it stays in the head.)
inline std::string longPage(std::mt19937& random, size_t size) {
    static const char* const kWords[] = {
        "canal", "Canal", "CANAL", "lock", "barge", "water", "the", "of", "and", "merchant",
        "it's", "a\\b", "\"quoted\"", "x&lt;y", "one,two", "dot.com", "MiXeD", "caf\xC3\xA9"};
    const auto word = [&] { return std::string(kWords[random() % std::size(kWords)]); };
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
                       "<title>" + word() + "</title>\n<script>var s = \"</p><p>\"; // " +
                       word() + "\n</script></head>\n<body>\n";
    while (page.size() < size) {
        switch (random() % 9) {
            case 0:
                page += "<xmp></p><p>" + word() + "\n" + word() + "</xmp>\n";
                break;
            case 1:
                page += "<style>p > b { color: red }</style>\n";
                break;
            case 2:
                page += "<!-- " + word() + " <p>" + word() + "</p> -->\n";
                break;
            case 3:
                page += "<pre>" + word() + "\t" + word() + "\n  " + word() + "</pre>\n";
                break;
            case 4:
                page += "<textarea> " + word() + "\n" + word() + "</textarea>\n";
                break;
            case 5:
                page += "<ul>";
                for (int i = 0; i < 4; ++i) page += "<li>" + word() + " " + word() + "</li>";
                page += "</ul>\n";
                break;
            case 6:
                page += "<tt>" + word() + "  " + word() + "</tt> <meta name=\"x\" content=\"" +
                        word() + "\">\n";
                break;
            default: {
                page += "<p>\n    ";
                const int words = 20 + static_cast<int>(random() % 60);
                for (int i = 0; i < words; ++i) {
                    page += random() % 9 == 0 ? "<b>" + word() + "</b>" : word();
                    page += random() % 8 == 0 ? "\n" : " ";
                }
                page += "</p>\n";
            }
        }
    }
    return page + "</body></html>\n";
}

