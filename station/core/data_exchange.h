// One pass of exchanging the station's members with the window's controls, in either
// direction. Reading stops at the first field that fails validation: that field's control is
// reported to the user and every later field of the pass is left alone.
#pragma once

#include <cstdint>
#include <string>

namespace tessel {

class StationView;

class DataExchange {
public:
    DataExchange(StationView& view, bool saveAndValidate);

    bool SaveAndValidate() const { return saveAndValidate_; }
    // False once a field has failed; the pass then does nothing more.
    bool Ok() const { return !failed_; }

    void Text(int id, std::string& value);
    // An unsigned 32-bit number as decimal text; on a read a text that is no such number fails.
    void Text(int id, uint32_t& value);
    void ComboIndex(int id, int32_t& value);
    void Check(int id, int32_t& value);
    // On a read, fails when `value` (just read from control `id`) lies outside min..max.
    void MinMaxUnsigned(int id, uint32_t value, uint32_t min, uint32_t max);

private:
    // Moves `value` between the member and control `id` in this pass's direction.
    template <typename Value, typename Written>
    void Transfer(int id, Value& value, Value (StationView::*read)(int) const, void (StationView::*write)(int, Written));
    void Fail(int id, const std::string& message);

    StationView& view_;
    bool saveAndValidate_;
    bool failed_ = false;
};

}  // namespace tessel
