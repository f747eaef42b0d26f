// The capture station's application object: runs the main window modally and answers the Help
// command (F1 anywhere in the program) with a short help text.
#pragma once

#include <QObject>
#include <functional>

#include "station_services.h"

namespace tessel {

class StationWindow;

class StationApp final : public QObject {
    Q_OBJECT
public:
    // Called with the main window once it is set up and about to run; test hooks use it.
    using WindowReady = std::function<void(StationWindow&)>;

    explicit StationApp(StationServices services, WindowReady onWindowReady = {});
    ~StationApp() override;

    // Builds the main window, runs it until it ends and destroys it. Always returns false: the
    // program ends when its window ends.
    bool InitInstance();
    // Shows the program's help text.
    void OnHelp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    StationServices services_;
    WindowReady onWindowReady_;
};

// The help text F1 shows.
const char* HelpText();

}  // namespace tessel
