// What the station's logic needs of its window: access to the bound controls by id, a way to
// report a field that fails validation, and an immediate repaint. The Qt window implements it;
// tests use a scripted one.
#pragma once

#include <cstdint>
#include <string>

namespace tessel {

class StationView {
public:
    virtual ~StationView() = default;

    // Text of an edit control (status, refresh interval, message), UTF-8.
    virtual std::string ControlText(int id) const = 0;
    virtual void SetControlText(int id, const std::string& text) = 0;

    // Selected entry of a drop-down list; -1 when nothing is selected.
    virtual int32_t ComboIndex(int id) const = 0;
    virtual void SetComboIndex(int id, int32_t index) = 0;

    // Check box state: 0 unchecked, 1 checked.
    virtual int32_t CheckState(int id) const = 0;
    virtual void SetCheckState(int id, int32_t state) = 0;

    // A read stopped at control `id` because its value is invalid: tell the user `message`
    // (modally), then put the focus on that control with its text selected.
    virtual void ReportInvalidField(int id, const std::string& message) = 0;

    // Repaint the window now, while the caller keeps running.
    virtual void RepaintNow() = 0;
};

}  // namespace tessel
