// The serial device that the port COM1 stands for: the driver library reads it from DC25_COM1.
// The settings' `device` sets that variable; without one, whatever it was at start-up holds.
#pragma once

#include <optional>
#include <string>

namespace tessel::service {

class Com1Device {
public:
    Com1Device();
    // `device` from now on; "" restores the variable as it was at start-up.
    void Use(const std::string& device);

private:
    std::optional<std::string> original_;
};

}  // namespace tessel::service
