// The station's view for the headless service: the controls are the values of the settings file,
// the status line is kept and handed to a listener at every repaint, and a field that fails
// validation is logged instead of shown.
#pragma once

#include <functional>
#include <string>

#include "service_settings.h"
#include "station_view.h"

namespace tessel::service {

class ServiceLog;

class ServiceView final : public StationView {
public:
    using StatusListener = std::function<void(const std::string&)>;

    ServiceView(const ServiceSettings& settings, ServiceLog& log, StatusListener onStatus = {});

    // New settings, read by the station at its next cycle.
    void Use(const ServiceSettings& settings);

    std::string ControlText(int id) const override;
    void SetControlText(int id, const std::string& text) override;
    int32_t ComboIndex(int id) const override;
    void SetComboIndex(int id, int32_t index) override;
    int32_t CheckState(int id) const override;
    void SetCheckState(int id, int32_t state) override;
    void ReportInvalidField(int id, const std::string& message) override;
    void RepaintNow() override;

private:
    ServiceLog& log_;
    StatusListener onStatus_;
    std::string status_;
    std::string refresh_;
    std::string message_;
    int32_t port_ = 0;
    int32_t speed_ = 0;
    int32_t camera_ = 0;
    int32_t archive_ = 0;
};

}  // namespace tessel::service
