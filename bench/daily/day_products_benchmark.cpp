// day_products_benchmark [PICTURES] [WIDTH HEIGHT]: what thumbnails and day lists add to the
// converter's work per archived picture, on an archive that already holds PICTURES pictures
// (default 100 000, 1 440 a day; tiny hard-linked files, since only the lists are read).
// Archives new pictures of the last day alternately the old way (the picture only) and the new
// way (picture, thumbnail, day list, list of days), and prints the median and 90th percentile of
// each. The index rebuild by archindex is left out of both.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <unistd.h>

#include "archive/archive.h"
#include "archive/day_lists.h"
#include "imaging/jpeg_io.h"
#include "archive/stamp.h"
#include "imaging/thumbnail.h"
#include "web_directory.h"

namespace {

constexpr int kPerDay = 1440;
constexpr int kRounds = 200;

std::string StampOf(const std::string& day, int minuteOfDay, int second) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%s%02d%02d%02d", day.c_str(), minuteOfDay / 60 % 24, minuteOfDay % 60, second % 60);
    return stamp;
}

std::string DayOf(int index) {
    const std::time_t first = archive::Stamp::Parse("20260101120000")->ToEpoch();
    return archive::StampDigitsOf(first + static_cast<std::time_t>(index) * 24 * 3600).substr(0, 8);
}

// The archive: `pictures` links to one tiny picture (and thumbnail), listed by day.
void MakeArchive(const std::filesystem::path& archivePath, int pictures, int lastDayPictures) {
    std::filesystem::create_directories(archivePath / "days");
    std::filesystem::create_directories(archivePath / "thumbs");
    const std::vector<uint8_t> tiny = imaging::EncodeJpeg(imaging::BlankImage(8, 8), 50);
    const tessel::WebDirectory archiveFolder = tessel::WebDirectory::Open(archivePath);
    const tessel::WebDirectory daysFolder = tessel::WebDirectory::Open(archivePath / "days");
    archiveFolder.ReplaceAtomically("tiny.jpg", tiny);
    // Whole days of kPerDay pictures, the remainder on the first day, the last day partly filled.
    std::vector<int> counts;
    if ((pictures - lastDayPictures) % kPerDay > 0) counts.push_back((pictures - lastDayPictures) % kPerDay);
    counts.insert(counts.end(), (pictures - lastDayPictures) / kPerDay, kPerDay);
    counts.push_back(lastDayPictures);
    nlohmann::json days = nlohmann::json::array();
    for (std::size_t d = 0; d < counts.size(); ++d) {
        const std::string day = DayOf(static_cast<int>(d));
        const int count = counts[d];
        nlohmann::json list = nlohmann::json::array();
        for (int n = 0; n < count; ++n) {
            const auto stamp = *archive::Stamp::Parse(StampOf(day, n, 0));
            const std::string name = stamp.digits() + ".jpg";
            ::link((archivePath / "tiny.jpg").c_str(), (archivePath / name).c_str());
            ::link((archivePath / "tiny.jpg").c_str(), (archivePath / "thumbs" / name).c_str());
            list.push_back({{"stamp", stamp.digits()}, {"taken_at", stamp.IsoText()}, {"taken_epoch", stamp.ToEpoch()}});
        }
        daysFolder.ReplaceAtomically(day + ".json", nlohmann::json{{"day", day}, {"pictures", list}}.dump() + "\n");
        days.push_back({{"day", day}, {"count", count}, {"first", list.front()["stamp"]},
                        {"last", list.back()["stamp"]}, {"video", archive::VideoName(day)},
                        {"keogram", archive::KeogramName(day)}});
    }
    archiveFolder.ReplaceAtomically("days.json", nlohmann::json{{"days", days}}.dump() + "\n");
}

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(share * (values.size() - 1))];
}

}  // namespace

int main(int argc, char** argv) {
    const int pictures = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int width = argc > 3 ? std::atoi(argv[2]) : 500;
    const int height = argc > 3 ? std::atoi(argv[3]) : 373;
    std::string pattern = (std::filesystem::temp_directory_path() / "day-products-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const std::filesystem::path web = pattern;
    const std::filesystem::path archivePath = web / archive::kArchiveDirectory;

    // The last day is three quarters full: the day list being rewritten holds ~1 000 pictures.
    const int lastDayPictures = kPerDay * 3 / 4;
    auto started = std::chrono::steady_clock::now();
    MakeArchive(archivePath, pictures, lastDayPictures);
    const double setupSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const std::string lastDay = archive::DayLists(archivePath).Days().back().day;

    imaging::Image picture = imaging::BlankImage(width, height);
    for (std::size_t i = 0; i < picture.rgb.size(); ++i) picture.rgb[i] = static_cast<uint8_t>((i * 7919) % 251);
    const std::vector<uint8_t> jpeg = imaging::EncodeJpeg(picture, 85);

    // Wall time, and this process's CPU time, which a machine shared with other work disturbs less.
    const auto cpuMs = [] {
        timespec t{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    std::vector<double> before, after, cpuBefore, cpuAfter;
    const archive::DayLists lists(archivePath);
    const tessel::WebDirectory archiveFolder = tessel::WebDirectory::Open(archivePath);
    for (int round = 0; round < kRounds; ++round) {
        for (bool withDayProducts : {false, true}) {
            const auto stamp = *archive::Stamp::Parse(StampOf(lastDay, lastDayPictures + round, withDayProducts ? 1 : 2));
            const double cpuStart = cpuMs();
            started = std::chrono::steady_clock::now();
            archive::ArchivePicture(archiveFolder, stamp, jpeg);
            if (withDayProducts) {
                archive::WriteThumbnail(archivePath, stamp, imaging::ThumbnailJpeg(picture));
                lists.Add(stamp);
            }
            const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
            (withDayProducts ? after : before).push_back(ms);
            (withDayProducts ? cpuAfter : cpuBefore).push_back(cpuMs() - cpuStart);
        }
    }
    std::printf("archive: %d pictures over %zu days (made in %.1f s); picture %dx%d, JPEG %zu bytes; %d rounds\n",
                pictures, lists.Days().size(), setupSeconds, width, height, jpeg.size(), kRounds);
    std::printf("picture only:                      wall median %.3f ms, p90 %.3f ms; CPU median %.3f ms\n",
                Percentile(before, 0.5), Percentile(before, 0.9), Percentile(cpuBefore, 0.5));
    std::printf("picture + thumbnail + day lists:   wall median %.3f ms, p90 %.3f ms; CPU median %.3f ms\n",
                Percentile(after, 0.5), Percentile(after, 0.9), Percentile(cpuAfter, 0.5));
    std::printf("added per picture:                 wall median %.3f ms; CPU median %.3f ms\n",
                Percentile(after, 0.5) - Percentile(before, 0.5), Percentile(cpuAfter, 0.5) - Percentile(cpuBefore, 0.5));
    std::error_code ignored;
    std::filesystem::remove_all(web, ignored);
    return 0;
}
