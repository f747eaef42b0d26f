// Starts the converter program "pictrex" with a parameter text such as
// "19991015083005 ARCHIVE", without waiting for it. Failures are not reported to the caller.
#pragma once

#include <string>

namespace tessel {

class ConverterLauncher {
public:
    virtual ~ConverterLauncher() = default;
    virtual void Start(const std::string& parameters) = 0;
};

}  // namespace tessel
