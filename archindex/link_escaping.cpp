#include "link_escaping.h"

#include <cstddef>

namespace archindex {
namespace {

std::string_view HtmlReference(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&#39;";
    default: return {};
  }
}

// Control bytes go into the text as numeric references, so that a name with CR or LF in it
// cannot break the page's lines.
bool IsControlByte(unsigned char c) { return c < 0x20 || c == 0x7F; }

void AppendNumericReference(std::string& out, unsigned char c) {
  out.append("&#");
  out.append(std::to_string(c));
  out.push_back(';');
}

bool IsUnreservedUrlByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '.' || c == '_' || c == '~';
}

}  // namespace

void AppendHtmlEscaped(std::string& out, std::string_view text) {
  std::size_t plain_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::string_view reference = HtmlReference(text[i]);
    if (reference.empty() && !IsControlByte(byte)) continue;
    out.append(text.substr(plain_start, i - plain_start));
    if (reference.empty()) {
      AppendNumericReference(out, byte);
    } else {
      out.append(reference);
    }
    plain_start = i + 1;
  }
  out.append(text.substr(plain_start));
}

void AppendPercentEncoded(std::string& out, std::string_view name) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::size_t plain_start = 0;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (IsUnreservedUrlByte(byte)) continue;
    out.append(name.substr(plain_start, i - plain_start));
    out.push_back('%');
    out.push_back(kHexDigits[byte >> 4]);
    out.push_back(kHexDigits[byte & 0x0F]);
    plain_start = i + 1;
  }
  out.append(name.substr(plain_start));
}

}  // namespace archindex
