#include "archive/day_lists.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <map>
#include <system_error>

#include <nlohmann/json.hpp>

#include "web_directory.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace archive {
namespace {

using Json = nlohmann::ordered_json;

// A day holds at most 86 400 pictures of ~90 bytes each; the list of days grows by ~150 bytes a day.
constexpr std::size_t kLargestDayList = 16 * 1024 * 1024;
constexpr std::size_t kLargestDaysList = 16 * 1024 * 1024;

bool IsDay(const std::string& text) {
    return Stamp::Parse(text + "000000").has_value();
}

std::optional<std::string> OptionalString(const Json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

DayPicture PictureOf(const Stamp& stamp) {
    return {stamp.digits(), stamp.IsoText(), static_cast<std::int64_t>(stamp.ToEpoch())};
}

DaySummary SummaryOf(const std::string& day, const std::vector<DayPicture>& pictures) {
    return {day, pictures.size(), pictures.front().stamp, pictures.back().stamp, std::nullopt, std::nullopt};
}

// Reads a day list {"day":"…","pictures":[{"stamp":"…","taken_at":"…","taken_epoch":n},…]}
// event by event straight into DayPicture records: the list is read with every picture archived,
// and building a whole document tree first would cost several times more.
class DayListReader : public nlohmann::json_sax<nlohmann::json> {
public:
    std::string day;
    std::vector<DayPicture> pictures;
    bool sawPictures = false;
    bool wellFormed = true;  // every entry is an object with a string stamp

    bool null() override { return Scalar(); }
    bool boolean(bool) override { return Scalar(); }
    bool number_integer(number_integer_t value) override { return Epoch(value); }
    bool number_unsigned(number_unsigned_t value) override { return Epoch(static_cast<std::int64_t>(value)); }
    bool number_float(number_float_t, const string_t&) override { return Scalar(); }
    bool binary(binary_t&) override { return Scalar(); }
    bool string(string_t& value) override {
        if (depth_ == 1 && key_ == "day") day = value;
        if (InEntry() && key_ == "stamp") entry_.stamp = value;
        if (InEntry() && key_ == "taken_at") entry_.takenAt = value;
        return true;
    }
    bool key(string_t& value) override {
        if (depth_ <= 3) key_ = value;
        return true;
    }
    bool start_object(std::size_t) override {
        ++depth_;
        if (depth_ == 3 && inPictures_) entry_ = {"", "", kNoEpoch};
        return true;
    }
    bool end_object() override {
        if (depth_ == 3 && inPictures_) {
            wellFormed = wellFormed && !entry_.stamp.empty();
            pictures.push_back(std::move(entry_));
        }
        --depth_;
        return true;
    }
    bool start_array(std::size_t) override {
        ++depth_;
        if (depth_ == 2 && key_ == "pictures") inPictures_ = sawPictures = true;
        else if (depth_ == 3 && inPictures_) wellFormed = false;
        return true;
    }
    bool end_array() override {
        if (depth_ == 2) inPictures_ = false;
        --depth_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

    static constexpr std::int64_t kNoEpoch = INT64_MIN;

private:
    bool InEntry() const { return depth_ == 3 && inPictures_; }
    bool Scalar() {
        if (depth_ == 2 && inPictures_) wellFormed = false;
        return true;
    }
    bool Epoch(std::int64_t value) {
        if (InEntry() && key_ == "taken_epoch") entry_.takenEpoch = value;
        return Scalar();
    }

    int depth_ = 0;
    bool inPictures_ = false;
    std::string key_;
    DayPicture entry_;
};

// The day's list parsed; nothing when it is missing or damaged.
std::optional<std::vector<DayPicture>> ParseDay(const std::string& day, const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    DayListReader reader;
    if (!nlohmann::json::sax_parse(*text, &reader) || !reader.sawPictures || !reader.wellFormed ||
        reader.day != day) return std::nullopt;
    for (DayPicture& picture : reader.pictures) {
        const auto stamp = Stamp::Parse(picture.stamp);
        if (!stamp || stamp->Day() != day) return std::nullopt;
        // Stored times are kept; working them out again (mktime) for every picture of the day
        // would cost more than the rest of the update.
        if (picture.takenAt.empty() || picture.takenEpoch == DayListReader::kNoEpoch) picture = PictureOf(*stamp);
    }
    std::vector<DayPicture>& pictures = reader.pictures;
    if (!std::is_sorted(pictures.begin(), pictures.end(), [](const auto& a, const auto& b) { return a.stamp < b.stamp; })) {
        std::sort(pictures.begin(), pictures.end(), [](const auto& a, const auto& b) { return a.stamp < b.stamp; });
    }
    return std::move(pictures);
}

std::optional<std::vector<DaySummary>> ParseDays(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    const Json list = Json::parse(*text, nullptr, false);
    if (!list.is_object() || !list.contains("days") || !list["days"].is_array()) return std::nullopt;
    std::vector<DaySummary> days;
    for (const Json& entry : list["days"]) {
        const auto day = OptionalString(entry, "day");
        const auto count = entry.is_object() ? entry.find("count") : entry.end();
        if (!day || !IsDay(*day) || count == entry.end() || !count->is_number_unsigned()) return std::nullopt;
        days.push_back({*day, count->get<std::size_t>(), OptionalString(entry, "first").value_or(""),
                        OptionalString(entry, "last").value_or(""), OptionalString(entry, "video"),
                        OptionalString(entry, "keogram")});
    }
    std::sort(days.begin(), days.end(), [](const auto& a, const auto& b) { return a.day < b.day; });
    return days;
}

Json OptionalValue(const std::optional<std::string>& value) { return value ? Json(*value) : Json(nullptr); }

std::optional<std::string> ReadText(const tessel::WebDirectory& folder, const std::string& name, std::size_t limit) {
    tessel::FileRead read = folder.Read(name, limit);
    if (!read.ok) return std::nullopt;
    return std::move(read.bytes);
}

bool HasRegularFile(const tessel::WebDirectory& folder, const std::string& name) {
    struct stat status {};
    return ::fstatat(folder.descriptor(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(status.st_mode);
}

std::string DayFileName(const std::string& day) { return day + ".json"; }

}  // namespace

std::string VideoFileName(const std::string& day) { return day + ".mp4"; }
std::string KeogramFileName(const std::string& day) { return day + "-keogram.jpg"; }
std::string VideoName(const std::string& day) { return std::string(kDaysDirectory) + "/" + VideoFileName(day); }
std::string KeogramName(const std::string& day) { return std::string(kDaysDirectory) + "/" + KeogramFileName(day); }

tessel::WebDirectory DayLists::Archive() const {
    return tessel::WebDirectory::Open(archive_, tessel::DirectoryLinks::FollowIfOwned);
}

tessel::WebDirectory DayLists::DaysFolder() const {
    return Archive().Subdirectory(kDaysDirectory, tessel::DirectoryLinks::FollowIfOwned, true);
}

std::vector<DayPicture> DayLists::ReadDay(const std::string& day, bool listed) const {
    if (auto pictures = ParseDay(day, ReadText(DaysFolder(), DayFileName(day), kLargestDayList))) {
        return std::move(*pictures);
    }
    std::vector<DayPicture> pictures;
    if (!listed) return pictures;
    for (const std::string& name : Archive().Names()) {
        const std::filesystem::path file(name);
        const auto stamp = Stamp::Parse(file.stem().string());
        if (file.extension() == ".jpg" && stamp && stamp->Day() == day) pictures.push_back(PictureOf(*stamp));
    }
    std::sort(pictures.begin(), pictures.end(), [](const auto& a, const auto& b) { return a.stamp < b.stamp; });
    return pictures;
}

void DayLists::WriteDay(const std::string& day, const std::vector<DayPicture>& pictures) const {
    Json list = Json::array();
    for (const DayPicture& picture : pictures) {
        list.push_back({{"stamp", picture.stamp}, {"taken_at", picture.takenAt}, {"taken_epoch", picture.takenEpoch}});
    }
    DaysFolder().ReplaceAtomically(DayFileName(day), Json{{"day", day}, {"pictures", std::move(list)}}.dump() + "\n");
}

std::vector<DaySummary> DayLists::Days() const {
    if (auto days = ParseDays(ReadText(Archive(), kDaysListName, kLargestDaysList))) return std::move(*days);
    // Missing or damaged: made again from the day lists (one entry per day, not per picture).
    std::vector<DaySummary> days;
    const tessel::WebDirectory folder = DaysFolder();
    for (const std::string& name : folder.Names()) {
        const std::filesystem::path file(name);
        const std::string day = file.stem().string();
        if (file.extension() != ".json" || !IsDay(day)) continue;
        const std::vector<DayPicture> pictures = ReadDay(day, true);
        if (pictures.empty()) continue;
        DaySummary summary = SummaryOf(day, pictures);
        if (HasRegularFile(folder, VideoFileName(day))) summary.video = VideoName(day);
        if (HasRegularFile(folder, KeogramFileName(day))) summary.keogram = KeogramName(day);
        days.push_back(std::move(summary));
    }
    std::sort(days.begin(), days.end(), [](const auto& a, const auto& b) { return a.day < b.day; });
    return days;
}

void DayLists::WriteDays(const std::vector<DaySummary>& days) const {
    Json list = Json::array();
    for (const DaySummary& d : days) {
        list.push_back({{"day", d.day}, {"count", d.count}, {"first", d.first}, {"last", d.last},
                        {"video", OptionalValue(d.video)}, {"keogram", OptionalValue(d.keogram)}});
    }
    Archive().ReplaceAtomically(kDaysListName, Json{{"days", std::move(list)}}.dump() + "\n");
}

std::optional<std::string> DayLists::Add(const Stamp& stamp) const {
    const std::string day = stamp.Day();
    std::vector<DaySummary> days = Days();
    const auto listed = std::find_if(days.begin(), days.end(), [&](const auto& d) { return d.day == day; });
    const bool isListed = listed != days.end();
    std::vector<DayPicture> pictures = ReadDay(day, isListed);
    const auto place = std::lower_bound(pictures.begin(), pictures.end(), stamp.digits(),
                                        [](const DayPicture& p, const std::string& s) { return p.stamp < s; });
    if (place == pictures.end() || place->stamp != stamp.digits()) pictures.insert(place, PictureOf(stamp));
    WriteDay(day, pictures);

    DaySummary summary = SummaryOf(day, pictures);
    std::optional<std::string> finished;
    if (isListed) {
        summary.video = listed->video;
        summary.keogram = listed->keogram;
        *listed = std::move(summary);
    } else {
        if (!days.empty() && days.back().day < day) finished = days.back().day;
        days.insert(std::upper_bound(days.begin(), days.end(), day,
                                     [](const std::string& d, const DaySummary& s) { return d < s.day; }),
                    std::move(summary));
    }
    WriteDays(days);
    return finished;
}

void DayLists::Remove(const std::vector<Stamp>& stamps) const {
    if (stamps.empty()) return;
    std::map<std::string, std::vector<std::string>> byDay;
    for (const Stamp& stamp : stamps) byDay[stamp.Day()].push_back(stamp.digits());
    std::vector<DaySummary> days = Days();
    for (const auto& entry : byDay) {
        // Named copies of the pair's parts: lambdas below capture them (clang 14 cannot capture
        // structured bindings).
        const std::string& day = entry.first;
        const std::vector<std::string>& gone = entry.second;
        const auto listed = std::find_if(days.begin(), days.end(), [&](const auto& d) { return d.day == day; });
        if (listed == days.end()) continue;
        std::vector<DayPicture> pictures = ReadDay(day, true);
        std::erase_if(pictures, [&](const DayPicture& p) {
            return std::find(gone.begin(), gone.end(), p.stamp) != gone.end();
        });
        if (pictures.empty()) {
            const tessel::WebDirectory folder = DaysFolder();
            for (const std::string& name : {DayFileName(day), VideoFileName(day), KeogramFileName(day)}) {
                folder.RemoveRegularFile(name);
            }
            days.erase(listed);
            continue;
        }
        WriteDay(day, pictures);
        DaySummary summary = SummaryOf(day, pictures);
        summary.video = listed->video;
        summary.keogram = listed->keogram;
        *listed = std::move(summary);
    }
    WriteDays(days);
}

std::vector<DayPicture> DayLists::Pictures(const std::string& day) const {
    const std::vector<DaySummary> days = Days();
    const bool listed = std::any_of(days.begin(), days.end(), [&](const auto& d) { return d.day == day; });
    return listed ? ReadDay(day, true) : std::vector<DayPicture>{};
}

bool DayLists::RecordProducts(const std::string& day, const std::string& video, const std::string& keogram) const {
    std::vector<DaySummary> days = Days();
    const auto listed = std::find_if(days.begin(), days.end(), [&](const auto& d) { return d.day == day; });
    if (listed == days.end()) return false;
    listed->video = video;
    listed->keogram = keogram;
    WriteDays(days);
    return true;
}

}  // namespace archive
