#include "data_exchange.h"

#include <charconv>

#include "station_view.h"

namespace tessel {
namespace {

// A decimal number of 0..2^32-1, blanks allowed around it.
bool ParseUnsigned(const std::string& text, uint32_t& value)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return false;
    }
    const auto last = text.find_last_not_of(" \t");
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    uint32_t parsed = 0;
    const auto [stop, error] = std::from_chars(begin, end, parsed);
    if (error != std::errc{} || stop != end) {
        return false;
    }
    value = parsed;
    return true;
}

}  // namespace

DataExchange::DataExchange(StationView& view, bool saveAndValidate)
    : view_(view), saveAndValidate_(saveAndValidate)
{
}

template <typename Value, typename Written>
void DataExchange::Transfer(int id, Value& value, Value (StationView::*read)(int) const,
                            void (StationView::*write)(int, Written))
{
    if (failed_) {
        return;
    }
    if (saveAndValidate_) {
        value = (view_.*read)(id);
    } else {
        (view_.*write)(id, value);
    }
}

void DataExchange::Text(int id, std::string& value)
{
    Transfer(id, value, &StationView::ControlText, &StationView::SetControlText);
}

void DataExchange::Text(int id, uint32_t& value)
{
    if (failed_) {
        return;
    }
    if (!saveAndValidate_) {
        view_.SetControlText(id, std::to_string(value));
    } else if (!ParseUnsigned(view_.ControlText(id), value)) {
        Fail(id, "Please enter a whole number.");
    }
}

void DataExchange::ComboIndex(int id, int32_t& value)
{
    Transfer(id, value, &StationView::ComboIndex, &StationView::SetComboIndex);
}

void DataExchange::Check(int id, int32_t& value)
{
    Transfer(id, value, &StationView::CheckState, &StationView::SetCheckState);
}

void DataExchange::MinMaxUnsigned(int id, uint32_t value, uint32_t min, uint32_t max)
{
    if (failed_ || !saveAndValidate_) {
        return;
    }
    if (value < min || value > max) {
        Fail(id, "Please enter a number from " + std::to_string(min) + " to " + std::to_string(max) + ".");
    }
}

void DataExchange::Fail(int id, const std::string& message)
{
    failed_ = true;
    view_.ReportInvalidField(id, message);
}

}  // namespace tessel
