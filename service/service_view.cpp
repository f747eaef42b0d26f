#include "service_view.h"

#include "control_ids.h"
#include "service_log.h"

namespace tessel::service {
namespace {

// The settings file's key for a control.
const char* KeyOfControl(int id)
{
    switch (id) {
    case IDC_PORT: return "port";
    case IDC_SPEED: return "speed";
    case IDC_CAMERA: return "camera";
    case IDC_REFRESH: return "refresh";
    case IDC_ARCHIVE: return "archive";
    case IDC_MESSAGE: return "message";
    default: return "status";
    }
}

}  // namespace

ServiceView::ServiceView(const ServiceSettings& settings, ServiceLog& log, StatusListener onStatus)
    : log_(log), onStatus_(std::move(onStatus))
{
    Use(settings);
}

void ServiceView::Use(const ServiceSettings& settings)
{
    refresh_ = std::to_string(settings.refreshSeconds);
    message_ = settings.message;
    port_ = settings.portIndex;
    speed_ = settings.speedIndex;
    camera_ = settings.cameraIndex;
    archive_ = settings.archive ? 1 : 0;
}

std::string ServiceView::ControlText(int id) const
{
    switch (id) {
    case IDC_STATUS: return status_;
    case IDC_REFRESH: return refresh_;
    case IDC_MESSAGE: return message_;
    default: return {};
    }
}

void ServiceView::SetControlText(int id, const std::string& text)
{
    switch (id) {
    case IDC_STATUS: status_ = text; break;
    case IDC_REFRESH: refresh_ = text; break;
    case IDC_MESSAGE: message_ = text; break;
    default: break;
    }
}

int32_t ServiceView::ComboIndex(int id) const
{
    switch (id) {
    case IDC_PORT: return port_;
    case IDC_SPEED: return speed_;
    case IDC_CAMERA: return camera_;
    default: return -1;
    }
}

void ServiceView::SetComboIndex(int id, int32_t index)
{
    switch (id) {
    case IDC_PORT: port_ = index; break;
    case IDC_SPEED: speed_ = index; break;
    case IDC_CAMERA: camera_ = index; break;
    default: break;
    }
}

int32_t ServiceView::CheckState(int id) const
{
    return id == IDC_ARCHIVE ? archive_ : 0;
}

void ServiceView::SetCheckState(int id, int32_t state)
{
    if (id == IDC_ARCHIVE) {
        archive_ = state != 0 ? 1 : 0;
    }
}

void ServiceView::ReportInvalidField(int id, const std::string& message)
{
    log_.Error(std::string(KeyOfControl(id)) + ": invalid setting: " + message);
}

void ServiceView::RepaintNow()
{
    if (onStatus_) {
        onStatus_(status_);
    }
}

}  // namespace tessel::service
