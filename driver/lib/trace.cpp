#include "trace.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace dc25 {

Trace Trace::FromEnvironment() {
    const char* value = std::getenv("DC25_TRACE");
    return Trace(value != nullptr && std::strcmp(value, "1") == 0);
}

void Trace::Bytes(std::string_view direction, std::span<const uint8_t> bytes) const {
    if (!enabled_ || bytes.empty()) return;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string line = "dc25v20: ";
    line.append(direction);
    line.reserve(line.size() + bytes.size() * 3 + 1);
    for (uint8_t b : bytes) {
        line += ' ';
        line += kHex[b >> 4];
        line += kHex[b & 0xF];
    }
    line += '\n';
    std::fputs(line.c_str(), stderr);
}

void Trace::Note(std::string_view text) const {
    if (!enabled_) return;
    std::fprintf(stderr, "dc25v20: %.*s\n", static_cast<int>(text.size()), text.data());
}

}  // namespace dc25
