// The archive's lists by day, for the gallery and the daily builder:
//   archive/days.json          {"days":[{"day","count","first","last","video","keogram"}, …]} oldest first
//   archive/days/YYYYMMDD.json {"day","pictures":[{"stamp","taken_at","taken_epoch"}, …]} oldest first
// Both are updated per picture, reading and writing only the picture's own day list and the list
// of days, so the cost of archiving a picture does not grow with the archive. Callers hold the
// directory lock (kLockName) while they change them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "archive/stamp.h"
#include "web_directory.h"

namespace archive {

inline constexpr const char* kDaysDirectory = "days";
inline constexpr const char* kDaysListName = "days.json";

struct DayPicture {
    std::string stamp;
    std::string takenAt;       // ISO 8601 with the station's UTC offset
    std::int64_t takenEpoch = 0;
};

struct DaySummary {
    std::string day;  // YYYYMMDD
    std::size_t count = 0;
    std::string first;
    std::string last;
    std::optional<std::string> video;    // relative to archive/, e.g. "days/20261210.mp4"
    std::optional<std::string> keogram;  // relative to archive/
};

// Day products' file names in archive/days/, and the same relative to archive/ (as days.json
// gives them).
std::string VideoFileName(const std::string& day);
std::string KeogramFileName(const std::string& day);
std::string VideoName(const std::string& day);
std::string KeogramName(const std::string& day);

class DayLists {
public:
    // The lists of the archive folder `archiveDirectory`; they are read and written through
    // tessel::WebDirectory, never through a planted link.
    explicit DayLists(std::filesystem::path archiveDirectory) : archive_(std::move(archiveDirectory)) {}

    // Records an archived picture (again: a picture retaken in the same second is listed once).
    // When it is the first picture of a day later than every listed day, returns the latest
    // earlier day, which is then complete. Throws tessel::FileError.
    std::optional<std::string> Add(const Stamp& stamp) const;

    // Takes deleted pictures out of their day lists; a day left without pictures loses its list,
    // its entry and its products. Throws tessel::FileError.
    void Remove(const std::vector<Stamp>& stamps) const;

    // The pictures of `day`, oldest first (empty when the day is not listed).
    std::vector<DayPicture> Pictures(const std::string& day) const;

    // Notes the day's products in days.json; false when the day is no longer listed.
    bool RecordProducts(const std::string& day, const std::string& video, const std::string& keogram) const;

    std::vector<DaySummary> Days() const;

private:
    tessel::WebDirectory Archive() const;
    tessel::WebDirectory DaysFolder() const;
    // The day's list as stored; when it is missing or damaged although days.json lists the day,
    // rebuilt from the day's pictures in the archive (the one case that reads the directory).
    std::vector<DayPicture> ReadDay(const std::string& day, bool listed) const;
    void WriteDay(const std::string& day, const std::vector<DayPicture>& pictures) const;
    void WriteDays(const std::vector<DaySummary>& days) const;

    std::filesystem::path archive_;
};

}  // namespace archive
