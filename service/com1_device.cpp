#include "com1_device.h"

#include <cstdlib>

namespace tessel::service {
namespace {

constexpr const char* kVariable = "DC25_COM1";

}  // namespace

Com1Device::Com1Device()
{
    if (const char* value = std::getenv(kVariable); value != nullptr) {
        original_ = value;
    }
}

void Com1Device::Use(const std::string& device)
{
    if (!device.empty()) {
        setenv(kVariable, device.c_str(), 1);
    } else if (original_) {
        setenv(kVariable, original_->c_str(), 1);
    } else {
        unsetenv(kVariable);
    }
}

}  // namespace tessel::service
