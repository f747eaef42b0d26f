#include "run_log.h"

#include "stamp.h"
#include "visible_text.h"

namespace pictrex {

std::string LogLine(std::time_t start, const std::string& arguments, const std::string& outcome, long milliseconds) {
    const auto when = Stamp::Parse(StampDigitsOf(start));
    return (when ? when->DisplayText() : StampDigitsOf(start)) + " " + VisibleText(arguments) + ": " +
           VisibleText(outcome) + " (" + std::to_string(milliseconds) + " ms)\n";
}

}  // namespace pictrex
