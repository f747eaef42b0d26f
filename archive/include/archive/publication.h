// What the web directory currently shows, kept in `webcam.json` beside `webcam.jpg` for the
// visitors' page and for ordering the converter's runs.
#pragma once

#include <cstddef>
#include <ctime>
#include <optional>
#include <string>

#include "archive/stamp.h"
#include "web_directory.h"

namespace archive {

inline constexpr const char* kWebImageName = "webcam.jpg";
inline constexpr const char* kStatusName = "webcam.json";
// Ours is a few hundred bytes, but the caption in it may be long (message.txt is read up to
// 128 KiB, and JSON may write a byte as six).
inline constexpr std::size_t kLargestStatusFile = 1024 * 1024;

struct Publication {
    Stamp stamp;             // the picture shown (for a camera-off picture: the last one taken)
    bool cameraOff = false;  // the picture is the camera-off picture
    std::string caption;     // the first line of message.txt when it was published; "" when none
};

// The status text, one JSON object: {"stamp":"…","taken":"YYYY-MM-DD hh:mm:ss",
// "taken_at":"YYYY-MM-DDThh:mm:ss+hh:mm","taken_epoch":<epoch>,"camera":"on|off","updated":<epoch>,
// "caption":"…"}.
std::string StatusText(const Publication& publication, std::time_t updated);

// The publication the directory's status file describes, or nothing when it is missing, not
// ours, or not a regular file of at most kLargestStatusFile bytes.
std::optional<Publication> ReadStatus(const tessel::WebDirectory& directory);

// Whether `candidate` may replace `current`. A later stamp wins; for the same stamp the
// camera-off picture wins over the ordinary one (a slow conversion of the last picture must not
// undo Stop). A current stamp later than the local time `now` names is taken as left over from
// a clock set back (as at the end of summer time) and may be replaced.
bool MayReplace(const Publication& candidate, const std::optional<Publication>& current, std::time_t now);

}  // namespace archive
