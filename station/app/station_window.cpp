#include "station_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimerEvent>
#include <algorithm>
#include <limits>

#include "about_dialog.h"
#include "control_ids.h"
#include "message_boxes.h"
#include "minimised_icon.h"
#include "resource_ids.h"
#include "serial_camera.h"
#include "station_icon.h"
#include "string_table.h"
#include "system_menu.h"
#include "template_builder.h"

namespace tessel {
namespace {

// The system's standard icon size, at which the window's icon is drawn while minimised.
constexpr QSize kStandardIconSize(32, 32);

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

const res::DialogTemplate& StationTemplate() { return *res::FindDialogTemplate(res::IDD_STATION_DIALOG); }

}  // namespace

StationWindow::StationWindow(const StationServices& services, QWidget* parent)
    : QDialog(parent),
      messages_(services.messages),
      station_(*this, *this, services.clock, services.sleeper, services.launcher, SerialCameraMaker()),
      icon(LoadIconResource(res::IDR_MAINFRAME)) {
    controls_ = BuildDialog(*this, StationTemplate());
    AddFrameCommands(systemMenu_);
    ConnectButtons();
    if (OnInitDialog()) {
        if (QWidget* first = FirstTabStop(controls_)) first->setFocus();
    }
}

StationWindow::~StationWindow() = default;

void StationWindow::ConnectButtons() {
    connect(controls_.Find<QPushButton>(IDOK_EXIT), &QPushButton::clicked, this, &StationWindow::accept);
    connect(controls_.Find<QPushButton>(IDC_START), &QPushButton::clicked, this, [this] { station_.OnStart(); });
    connect(controls_.Find<QPushButton>(IDC_STOP), &QPushButton::clicked, this, [this] { station_.OnStop(); });
}

bool StationWindow::OnInitDialog() {
    AddInitialComboItems(controls_, StationTemplate(), res::DialogInitData(res::IDD_STATION_DIALOG));
    station_.UpdateData(false);
    AppendAboutEntry(systemMenu_, res::LoadResString(res::IDS_ABOUTBOX), res::IDM_ABOUTBOX);
    setWindowIcon(icon);
    return true;
}

void StationWindow::OnSysCommand(unsigned commandId, long position) {
    (void)position;  // where the menu was opened; none of the commands uses it
    if ((commandId & 0xFFF0u) == res::IDM_ABOUTBOX) {
        AboutDialog about(this);
        about.exec();
        return;
    }
    switch (commandId & 0xFFF0u) {
    case SC_MINIMIZE: showMinimized(); break;
    case SC_RESTORE: showNormal(); break;
    case SC_CLOSE: close(); break;
    default: break;
    }
}

void StationWindow::OnPaint(QPaintEvent* event) {
    if (!isMinimized()) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const QPoint origin = MinimisedIconOrigin(rect().size(), kStandardIconSize);
    icon.paint(&painter, QRect(origin, kStandardIconSize));
}

void StationWindow::accept() {
    if (station_.UpdateData(true)) QDialog::accept();
}

void StationWindow::done(int result) {
    timers_.clear();
    QDialog::done(result);
}

std::string StationWindow::ControlText(int id) const {
    if (const auto* line = controls_.Find<QLineEdit>(id)) return line->text().toStdString();
    if (const auto* box = controls_.Find<QPlainTextEdit>(id)) return box->toPlainText().toStdString();
    return {};
}

void StationWindow::SetControlText(int id, const std::string& text) {
    const QString value = FromUtf8(text);
    if (auto* line = controls_.Find<QLineEdit>(id)) {
        if (line->text() != value) line->setText(value);
    } else if (auto* box = controls_.Find<QPlainTextEdit>(id)) {
        if (box->toPlainText() != value) box->setPlainText(value);
    }
}

int32_t StationWindow::ComboIndex(int id) const {
    const auto* combo = controls_.Find<QComboBox>(id);
    return combo != nullptr ? combo->currentIndex() : -1;
}

void StationWindow::SetComboIndex(int id, int32_t index) {
    if (auto* combo = controls_.Find<QComboBox>(id)) combo->setCurrentIndex(index < combo->count() ? index : -1);
}

int32_t StationWindow::CheckState(int id) const {
    const auto* check = controls_.Find<QCheckBox>(id);
    return check != nullptr && check->isChecked() ? 1 : 0;
}

void StationWindow::SetCheckState(int id, int32_t state) {
    if (auto* check = controls_.Find<QCheckBox>(id)) check->setChecked(state != 0);
}

void StationWindow::ReportInvalidField(int id, const std::string& message) {
    messages_.Show(this, FromUtf8(message), MessageKind::Warning);
    QWidget* field = controls_.Find(id);
    if (field == nullptr) return;
    field->setFocus(Qt::OtherFocusReason);
    if (auto* line = qobject_cast<QLineEdit*>(field)) line->selectAll();
}

void StationWindow::RepaintNow() { repaint(); }

void StationWindow::Arm(uint32_t id, uint32_t milliseconds) {
    const auto interval = static_cast<int>(std::min<uint32_t>(milliseconds, std::numeric_limits<int>::max()));
    timers_[id].start(interval, Qt::PreciseTimer, this);
}

void StationWindow::Kill(uint32_t id) { timers_.erase(id); }

void StationWindow::timerEvent(QTimerEvent* event) {
    const auto found = std::find_if(timers_.begin(), timers_.end(),
                                    [event](const auto& entry) { return entry.second.timerId() == event->timerId(); });
    if (found == timers_.end() || !station_.OnTimer(found->first)) QDialog::timerEvent(event);
}

void StationWindow::paintEvent(QPaintEvent* event) { OnPaint(event); }

void StationWindow::contextMenuEvent(QContextMenuEvent* event) {
    const QAction* chosen = systemMenu_.exec(event->globalPos());
    if (chosen == nullptr) return;
    const QPoint at = event->globalPos();
    OnSysCommand(CommandOf(*chosen), static_cast<long>((at.y() & 0xFFFF) << 16 | (at.x() & 0xFFFF)));
}

}  // namespace tessel
