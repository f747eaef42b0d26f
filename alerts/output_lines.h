// A child's output on its way to the station's log: split into lines, control bytes escaped (a
// program's output must not forge log lines or send escape sequences to a terminal), and
// bounded, so that a program that prints without end cannot flood the log.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace tessel::alerts {

// `text` with every byte below 0x20 and 0x7f written as \xNN.
std::string EscapeControlBytes(std::string_view text);

class OutputLines {
public:
    static constexpr std::size_t kLongestLine = 1000;  // bytes kept of one line
    static constexpr std::size_t kMostLines = 100;     // lines logged of one run

    explicit OutputLines(std::function<void(const std::string&)> line);

    // More of the output, as it comes.
    void Add(std::string_view bytes);
    // The output ended: its last line, if it had no newline.
    void Finish();

private:
    void Emit(std::string_view line);

    std::function<void(const std::string&)> line_;
    std::string partial_;
    bool cut_ = false;  // the current line was too long; the rest of it is dropped
    std::size_t lines_ = 0;
};

}  // namespace tessel::alerts
