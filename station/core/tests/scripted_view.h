// A window stand-in: control values by id, and a log of what the station did to them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "station_view.h"

namespace tessel::testing {

class ScriptedView final : public StationView {
public:
    std::string ControlText(int id) const override;
    void SetControlText(int id, const std::string& text) override;
    int32_t ComboIndex(int id) const override;
    void SetComboIndex(int id, int32_t index) override;
    int32_t CheckState(int id) const override;
    void SetCheckState(int id, int32_t state) override;
    void ReportInvalidField(int id, const std::string& message) override;
    void RepaintNow() override;

    std::map<int, std::string> texts;
    std::map<int, int32_t> combos;
    std::map<int, int32_t> checks;

    // Control ids in the order they were read, and written.
    mutable std::vector<int> reads;
    std::vector<int> writes;
    // Controls reported invalid, with the message shown.
    std::vector<std::pair<int, std::string>> invalid;
    // The status box's text at every immediate repaint.
    std::vector<std::string> repaints;
    // Runs at every immediate repaint, after it was logged.
    std::function<void()> onRepaint;
};

}  // namespace tessel::testing
