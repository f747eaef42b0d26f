// Byte-level trace on standard error, switched on by DC25_TRACE=1.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace dc25 {

class Trace {
public:
    static Trace FromEnvironment();
    explicit Trace(bool enabled) : enabled_(enabled) {}

    bool enabled() const { return enabled_; }
    // One line: "dc25v20: <direction> <hex bytes>".
    void Bytes(std::string_view direction, std::span<const uint8_t> bytes) const;
    void Note(std::string_view text) const;

private:
    bool enabled_;
};

}  // namespace dc25
