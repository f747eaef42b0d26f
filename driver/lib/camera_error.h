// A failed camera operation, carrying the result code the library's call returns.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace dc25 {

class CameraError : public std::runtime_error {
public:
    CameraError(int16_t code, const std::string& what) : std::runtime_error(what), code_(code) {}
    int16_t code() const { return code_; }

private:
    int16_t code_;
};

}  // namespace dc25
