// Where the text of a script or a style sheet holds literals whose blanks are their value.
//
// Scripts and style sheets are compacted like the rest of a page: a run of blanks becomes one
// blank, or one line break where the run holds one. Inside a string, a template, a regular
// expression or a style sheet's string that would change what the page does, so the scanner
// feeds every byte of SCRIPT and STYLE content through this lexer and keeps each blank where
// the lexer says so. It reads just enough of the language for that: literals, comments,
// brackets, and the token before a '/' that tells a regular expression from a division.
// Where it cannot tell, it follows both readings until they meet again and keeps the blanks
// of either, and the rest of that line as it is; where it loses its way, it keeps every blank
// to the end of the text. Keeping a blank is always safe, losing one in a literal is not.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

class ScriptLexer {
public:
    enum class Language : uint8_t {
        Script,      // JavaScript, or JSON data
        StyleSheet,
        Text,        // content that is not run, such as a template: every blank is kept
    };

    // The language of a SCRIPT element's content, from its start tag's attributes (the text
    // between the tag's name and its '>'): script types and JSON types are read as a script;
    // other types (templates, other languages) are text.
    static Language languageOfScript(std::string_view attributes);

    // Whether a blank at the place reached must stay as it is: it stands inside a literal, or
    // where the lexer cannot tell. Read by every blank decision, so it is a plain flag.
    int keep = 0;

    // Begins the content of a script or a style sheet.
    void start(Language language);
    // Ends it; the lexer is clear again.
    void stop();
    // Whether content is being read.
    bool active() const { return active_; }
    // Whether no content is being read and no blank is kept.
    bool isClear() const { return !active_ && !keep; }
    // Reads the next `n` bytes of the content.
    void feed(const char* bytes, size_t n);
    // Reads one blank or line break of the content. Spaces and tabs inside a literal or a
    // comment, or after another blank in code, change nothing: they are passed at once.
    void feedBlank(const char* blank) {
        if (blanksPass_ && (*blank == ' ' || *blank == '\t')) return;
        feed(blank, 1);
    }

    // One reading of the text so far. Bytes only, so that two readings compare as memory.
    struct Reading {
        uint8_t mode = 0;       // what the next byte is part of (see script_lexer.cpp)
        uint8_t escaped = 0;    // a backslash came before: 1, or 2 after a backslash and CR
        uint8_t prev = 0;       // what the last token was, for a '/' or '{' after it
        uint8_t slash = 0;      // in a '/' that waits for its next byte: what it may begin
        uint8_t savedPrev = 0;  // prev before a "<!--" or "-->" that may become a comment
        uint8_t marker = 0;     // how much of "<!--" or a line's "-->" was just read
        uint8_t incDecPrev = 0; // prev before a '+' or '-' that may double into ++ or --
        uint8_t lastByte = 0;   // the byte before, in code
        uint8_t lineStart = 1;  // only blanks and comments since the line began
        uint8_t functionExpression = 0;  // the last "function" stands where a value goes
        uint8_t wordLength = 0; // letters of the word being read (kWordRoom + 1: longer)
        uint8_t number = 0;     // that word is a number, so a '.' goes on with it
        using Word = std::array<uint8_t, 10>;
        Word word{};            // its first letters, for the keywords
        uint8_t depth = 0;      // brackets open
        std::array<uint8_t, 48> open{};  // the kind of each open bracket, outermost first
    };

private:
    static constexpr int kReadings = 4;

    void forkAt(int index, unsigned char c);
    bool stepAll(unsigned char c);
    bool anyKeeps() const;

    bool active_ = false;
    bool lost_ = false;      // the lexer lost its way: every blank is kept
    bool keepLine_ = false;  // a '/' stayed ambiguous on this line: it is kept as it is
    bool blanksPass_ = false;  // a space or tab would change nothing (see feedBlank)
    Language language_ = Language::Script;
    int count_ = 0;          // readings followed
    std::array<Reading, kReadings> readings_{};
};
