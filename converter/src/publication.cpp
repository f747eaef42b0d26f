#include "publication.h"

#include <fstream>
#include <iterator>
#include <regex>

namespace pictrex {

std::string StatusText(const Publication& publication, std::time_t updated) {
    return "{\"stamp\":\"" + publication.stamp.digits() + "\",\"taken\":\"" + publication.stamp.DisplayText() +
           "\",\"camera\":\"" + (publication.cameraOff ? "off" : "on") + "\",\"updated\":" + std::to_string(updated) +
           "}\n";
}

std::optional<Publication> ReadStatus(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    static const std::regex kStamp(R"re("stamp":"(\d{14})")re");
    static const std::regex kCamera(R"re("camera":"(on|off)")re");
    std::smatch stampMatch, cameraMatch;
    if (!std::regex_search(text, stampMatch, kStamp) || !std::regex_search(text, cameraMatch, kCamera)) {
        return std::nullopt;
    }
    const auto stamp = Stamp::Parse(stampMatch[1].str());
    if (!stamp) return std::nullopt;
    return Publication{*stamp, cameraMatch[1].str() == "off"};
}

bool MayReplace(const Publication& candidate, const std::optional<Publication>& current, std::time_t now) {
    if (!current) return true;
    if (current->stamp.digits() > StampDigitsOf(now)) return true;
    if (candidate.stamp != current->stamp) return candidate.stamp > current->stamp;
    return candidate.cameraOff || !current->cameraOff;
}

}  // namespace pictrex
