#include "archive/stamp.h"

#include <algorithm>
#include <cstdio>

namespace archive {
namespace {

int Number(std::string_view text) {
    int value = 0;
    for (char c : text) value = value * 10 + (c - '0');
    return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<Stamp> Stamp::Parse(std::string_view digits) {
    if (digits.size() != 14 || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const int year = Number(digits.substr(0, 4));
    const int month = Number(digits.substr(4, 2));
    const int day = Number(digits.substr(6, 2));
    const int hour = Number(digits.substr(8, 2));
    const int minute = Number(digits.substr(10, 2));
    const int second = Number(digits.substr(12, 2));
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 60) {
        return std::nullopt;
    }
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    return Stamp(std::string(digits), fields);
}

std::string Stamp::DisplayText() const {
    const std::string& d = digits_;
    return d.substr(0, 4) + '-' + d.substr(4, 2) + '-' + d.substr(6, 2) + ' ' + d.substr(8, 2) + ':' +
           d.substr(10, 2) + ':' + d.substr(12, 2);
}

std::time_t Stamp::ToEpoch() const {
    std::tm copy = fields_;
    return std::mktime(&copy);
}

std::string Stamp::IsoText() const {
    const std::time_t moment = ToEpoch();
    std::tm local{};
    localtime_r(&moment, &local);
    const int offsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
    const int magnitude = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char zone[32];
    std::snprintf(zone, sizeof zone, "%c%02d:%02d", offsetMinutes < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    std::string text = DisplayText();
    text[10] = 'T';
    return text + zone;
}

std::string StampDigitsOf(std::time_t moment) {
    std::tm local{};
    localtime_r(&moment, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

}  // namespace archive
