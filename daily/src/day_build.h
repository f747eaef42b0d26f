// Building one finished day's products from its archived pictures: the time-lapse
// archive/days/YYYYMMDD.mp4 and the keogram archive/days/YYYYMMDD-keogram.jpg, then noting both in
// archive/days.json. Each product is written under a temporary name and renamed into place only
// when whole, so a failure leaves the pictures and the previous products as they were.
#pragma once

#include <filesystem>
#include <string>

namespace tessel::daily {

struct DayBuildRequest {
    std::filesystem::path webDirectory;
    std::string day;              // YYYYMMDD
    std::filesystem::path ffmpeg;  // the encoder program
};

struct DayBuildOutcome {
    enum class Result { Built, NoPictures, Failed } result = Result::Failed;
    std::string message;  // for the log: what was made, or why not
};

DayBuildOutcome BuildDay(const DayBuildRequest& request);

}  // namespace tessel::daily
