#include "archive/run_log.h"

#include "archive/stamp.h"
#include "visible_text.h"

namespace archive {

std::string LogLine(std::time_t start, const std::string& arguments, const std::string& outcome, long milliseconds) {
    const auto when = Stamp::Parse(StampDigitsOf(start));
    return (when ? when->DisplayText() : StampDigitsOf(start)) + " " + tessel::VisibleText(arguments) + ": " +
           tessel::VisibleText(outcome) + " (" + std::to_string(milliseconds) + " ms)\n";
}

}  // namespace archive
