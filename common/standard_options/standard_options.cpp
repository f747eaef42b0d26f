#include "standard_options.h"

#include <string_view>

#include "package_version.h"

namespace tessel {

std::string_view PackageVersion() { return kPackageVersion; }

std::optional<int> AnswerStandardOption(int argc, const char* const* argv, const ProgramDescription& program,
                                        std::ostream& out) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--") break;  // what follows is an argument, not an option
        if (word == "--help") {
            out << program.usage;
            return 0;
        }
        if (word == "--version") {
            out << program.name << ' ' << PackageVersion() << '\n';
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace tessel
