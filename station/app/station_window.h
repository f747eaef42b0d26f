// The capture station's main window, built from template 102. It owns the station's state and
// logic (StationDialog), gives that logic access to the controls by id (StationView), serves as
// its capture timer (CaptureTimer), and routes the window's events to the handlers: Start, Stop,
// timer ticks, the system commands of its context menu, painting and the Exit/Escape defaults.
#pragma once

#include <QBasicTimer>
#include <QDialog>
#include <QIcon>
#include <QMenu>
#include <map>

#include "capture_timer.h"
#include "dialog_controls.h"
#include "station_dialog.h"
#include "station_services.h"
#include "station_view.h"

namespace tessel {

class StationWindow final : public QDialog, public StationView, public CaptureTimer {
    Q_OBJECT
public:
    explicit StationWindow(const StationServices& services, QWidget* parent = nullptr);
    ~StationWindow() override;

    StationDialog& Station() { return station_; }
    const DialogControls& Controls() const { return controls_; }
    const QMenu& SystemMenu() const { return systemMenu_; }

    // Set-up after the controls exist: combo items, the first exchange (load direction), the
    // About entry, the window icon. Returns true: the focus goes to the first tab stop, Exit.
    bool OnInitDialog();
    // A command of the system menu: ids 16 to 31 open the About box; the frame's own commands
    // (minimise, restore, close) are carried out; anything else is ignored.
    void OnSysCommand(unsigned commandId, long position);
    // Paints the icon centred in the client area while minimised, the dialog otherwise.
    void OnPaint(QPaintEvent* event);
    // The icon shown while a minimised window is dragged.
    QIcon OnQueryDragIcon() const { return icon; }

    // Exit: reads the controls with validation and ends the window only when they are valid.
    void accept() override;
    // Ending the window ends its timers too: no capture starts after it closed.
    void done(int result) override;

    // StationView
    std::string ControlText(int id) const override;
    void SetControlText(int id, const std::string& text) override;
    int32_t ComboIndex(int id) const override;
    void SetComboIndex(int id, int32_t index) override;
    int32_t CheckState(int id) const override;
    void SetCheckState(int id, int32_t state) override;
    void ReportInvalidField(int id, const std::string& message) override;
    void RepaintNow() override;

    // CaptureTimer
    void Arm(uint32_t id, uint32_t milliseconds) override;
    void Kill(uint32_t id) override;

protected:
    void timerEvent(QTimerEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ConnectButtons();

    MessageBoxes& messages_;
    StationDialog station_;
    DialogControls controls_;
    QMenu systemMenu_;
    QIcon icon;
    std::map<uint32_t, QBasicTimer> timers_;
};

}  // namespace tessel
