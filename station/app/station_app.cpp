#include "station_app.h"

#include <QApplication>
#include <QKeyEvent>

#include "message_boxes.h"
#include "station_window.h"

namespace tessel {

const char* HelpText() {
    return "tessel takes a picture with a DC20 or DC25 camera on a serial port at every refresh "
           "interval and hands it to the converter pictrex, which makes the web image webcam.jpg "
           "in this program's working directory.\n\n"
           "Pick the camera's port, line speed and model, a refresh interval of 30 to 90 seconds, "
           "whether pictures are archived, and a message to print on the picture, then press "
           "Start. The status box reports every step. Stop ends the series and tells the "
           "converter that the camera is off. Exit or closing the window ends the program "
           "without that last call.\n\n"
           "Right-click the window for Minimise, Close and About.";
}

StationApp::StationApp(StationServices services, WindowReady onWindowReady)
    : services_(services), onWindowReady_(std::move(onWindowReady)) {
    qApp->installEventFilter(this);
}

StationApp::~StationApp() { qApp->removeEventFilter(this); }

bool StationApp::InitInstance() {
    StationWindow window(services_);
    if (onWindowReady_) onWindowReady_(window);
    window.exec();
    return false;
}

void StationApp::OnHelp() {
    services_.messages.Show(QApplication::activeWindow(), QString::fromUtf8(HelpText()), MessageKind::Information);
}

bool StationApp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
            OnHelp();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tessel
