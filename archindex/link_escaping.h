#pragma once

#include <string>
#include <string_view>

namespace archindex {

// Appends `text` with the five characters that carry meaning in HTML markup
// (& < > " ') replaced by their character references and every control byte
// (0x00-0x1F, 0x7F) by its numeric character reference (&#13; for CR). All
// other bytes, including bytes that are not valid UTF-8, are appended
// unchanged.
void AppendHtmlEscaped(std::string& out, std::string_view text);

// Appends `name` as a relative URL that names exactly that file: every byte
// other than an ASCII letter, a digit or one of - . _ ~ becomes %XX with
// upper-case hex digits.
void AppendPercentEncoded(std::string& out, std::string_view name);

}  // namespace archindex
