#include "archive/publication.h"

#include <cstdint>

#include <nlohmann/json.hpp>

namespace archive {

std::string StatusText(const Publication& publication, std::time_t updated) {
    nlohmann::ordered_json status;
    status["stamp"] = publication.stamp.digits();
    status["taken"] = publication.stamp.DisplayText();
    status["camera"] = publication.cameraOff ? "off" : "on";
    status["updated"] = static_cast<std::int64_t>(updated);
    status["taken_at"] = publication.stamp.IsoText();
    status["taken_epoch"] = static_cast<std::int64_t>(publication.stamp.ToEpoch());
    status["caption"] = publication.caption;
    // JSON must be valid UTF-8: a caption typed in another encoding has its stray bytes replaced
    // (U+FFFD) instead of making the file unwritable.
    return status.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::optional<Publication> ReadStatus(const tessel::WebDirectory& directory) {
    const tessel::FileRead read = directory.Read(kStatusName, kLargestStatusFile);
    if (!read.ok) return std::nullopt;
    const nlohmann::json status = nlohmann::json::parse(read.bytes, nullptr, false);
    if (!status.is_object()) return std::nullopt;
    const auto field = [&](const char* name) -> std::string {
        const auto found = status.find(name);
        return found != status.end() && found->is_string() ? found->get<std::string>() : std::string();
    };
    const auto stamp = Stamp::Parse(field("stamp"));
    const std::string camera = field("camera");
    if (!stamp || (camera != "on" && camera != "off")) return std::nullopt;
    return Publication{*stamp, camera == "off", field("caption")};
}

bool MayReplace(const Publication& candidate, const std::optional<Publication>& current, std::time_t now) {
    if (!current) return true;
    if (current->stamp.digits() > StampDigitsOf(now)) return true;
    if (candidate.stamp != current->stamp) return candidate.stamp > current->stamp;
    return candidate.cameraOff || !current->cameraOff;
}

}  // namespace archive
