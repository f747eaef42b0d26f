#include "publication.h"


namespace pictrex {

std::string StatusText(const Publication& publication, std::time_t updated) {
    return "{\"stamp\":\"" + publication.stamp.digits() + "\",\"taken\":\"" + publication.stamp.DisplayText() +
           "\",\"camera\":\"" + (publication.cameraOff ? "off" : "on") + "\",\"updated\":" + std::to_string(updated) +
           "}\n";
}

namespace {

// The text of a string field "name":"…" in the status text, or "" when it has none.
std::string StringField(const std::string& text, const std::string& name) {
    const std::string opening = "\"" + name + "\":\"";
    const auto start = text.find(opening);
    if (start == std::string::npos) return {};
    const auto valueStart = start + opening.size();
    const auto end = text.find('"', valueStart);
    return end == std::string::npos ? std::string() : text.substr(valueStart, end - valueStart);
}

}  // namespace

std::optional<Publication> ReadStatus(const tessel::WebDirectory& directory) {
    const tessel::FileRead read = directory.Read(kStatusName, kLargestStatusFile);
    if (!read.ok) return std::nullopt;
    const std::string& text = read.bytes;
    const auto stamp = Stamp::Parse(StringField(text, "stamp"));
    const std::string camera = StringField(text, "camera");
    if (!stamp || (camera != "on" && camera != "off")) return std::nullopt;
    return Publication{*stamp, camera == "off"};
}

bool MayReplace(const Publication& candidate, const std::optional<Publication>& current, std::time_t now) {
    if (!current) return true;
    if (current->stamp.digits() > StampDigitsOf(now)) return true;
    if (candidate.stamp != current->stamp) return candidate.stamp > current->stamp;
    return candidate.cameraOff || !current->cameraOff;
}

}  // namespace pictrex
