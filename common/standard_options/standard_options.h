// The options every tessel program answers the same way: --help prints the program's usage on
// standard output, --version prints its name and the package version; both then end the program
// with status 0 before it does anything else.
#pragma once

#include <optional>
#include <ostream>
#include <string_view>

namespace tessel {

struct ProgramDescription {
    std::string_view name;   // as installed, e.g. "pictrex"
    std::string_view usage;  // the full help text, ending with a newline
};

// The package version, e.g. "1.0.0.1".
std::string_view PackageVersion();

// When argv holds --help or --version, prints the answer to `out` and returns the exit status
// (0); otherwise prints nothing and returns nothing, and the program goes on.
std::optional<int> AnswerStandardOption(int argc, const char* const* argv, const ProgramDescription& program,
                                        std::ostream& out);

}  // namespace tessel
