#pragma once

#include <optional>
#include <string_view>

// The line handling shared by the "key = value" text files the programs read: pictrex.ini, the
// credentials file and tesseld's settings file. What a section line or a key means is left to each reader.
namespace tessel {

// `text` without leading and trailing spaces, tabs and carriage returns.
std::string_view TrimBlanks(std::string_view text);

// Walks the lines of a text split at '\n', giving each trimmed line that is neither blank nor a
// comment (starting with '#' or ';'). A '#' later in a line is part of it. Line numbers start at 1
// and count every line, skipped ones too.
//
//   for (IniLines lines(text); lines.Next();) Use(lines.LineNumber(), lines.Line());
class IniLines {
public:
    explicit IniLines(std::string_view text) : rest_(text) {}

    // Moves to the next such line; false when the text has none left.
    bool Next();
    int LineNumber() const { return lineNumber_; }
    std::string_view Line() const { return line_; }

private:
    std::string_view rest_;
    std::string_view line_;
    int lineNumber_ = 0;
};

struct IniKeyValue {
    std::string_view key;
    std::string_view value;
};

// The trimmed text before and after the first '=' of a line; nothing when the line has no '='.
std::optional<IniKeyValue> SplitKeyValue(std::string_view line);

// A switch's value: yes/true/on/1 or no/false/off/0; nothing for any other text.
std::optional<bool> YesOrNo(std::string_view value);

}  // namespace tessel
