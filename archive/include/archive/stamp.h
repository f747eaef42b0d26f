// A picture's stamp: 14 digits of the local time it was taken, year to second.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace archive {

class Stamp {
public:
    // The stamp for `digits` when they are exactly 14 decimal digits forming a real calendar
    // date and time of day (seconds up to 60 for a leap second); otherwise nothing.
    static std::optional<Stamp> Parse(std::string_view digits);

    const std::string& digits() const { return digits_; }
    // "2026-12-10 08:30:05"
    std::string DisplayText() const;
    // The moment the stamp names, read as local time (ambiguous hours take the system's choice).
    std::time_t ToEpoch() const;
    // "2026-12-10T08:30:05+01:00": the same moment with the station's UTC offset at that time.
    std::string IsoText() const;
    // "20261210": the local day the picture belongs to.
    std::string Day() const { return digits_.substr(0, 8); }

    auto operator<=>(const Stamp& other) const { return digits_ <=> other.digits_; }
    bool operator==(const Stamp& other) const { return digits_ == other.digits_; }

private:
    explicit Stamp(std::string digits, std::tm fields) : digits_(std::move(digits)), fields_(fields) {}

    std::string digits_;
    std::tm fields_{};
};

// The stamp of a local time, as the station makes it.
std::string StampDigitsOf(std::time_t moment);

}  // namespace archive
