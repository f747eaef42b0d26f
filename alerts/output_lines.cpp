#include "output_lines.h"

#include <cstdio>

namespace tessel::alerts {

std::string EscapeControlBytes(std::string_view text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char code[5];
            std::snprintf(code, sizeof code, "\\x%02x", byte);
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

OutputLines::OutputLines(std::function<void(const std::string&)> line) : line_(std::move(line)) {}

void OutputLines::Add(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (!cut_) {
            const std::size_t room = kLongestLine - partial_.size();
            partial_.append(piece.substr(0, room));
            if (piece.size() > room) {
                Emit(partial_ + " [cut]");
                cut_ = true;
            }
        }
        if (end == std::string_view::npos) {
            return;
        }
        if (!cut_) {
            Emit(partial_);
        }
        partial_.clear();
        cut_ = false;
        bytes.remove_prefix(end + 1);
    }
}

void OutputLines::Finish()
{
    if (!cut_ && !partial_.empty()) {
        Emit(partial_);
    }
    partial_.clear();
    cut_ = false;
}

void OutputLines::Emit(std::string_view line)
{
    if (lines_ < kMostLines) {
        // A line ending in CR LF loses its CR.
        line_(EscapeControlBytes(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line));
    } else if (lines_ == kMostLines) {
        line_("[further output not logged]");
    }
    ++lines_;
}

}  // namespace tessel::alerts
