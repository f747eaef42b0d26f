// A main window on the offscreen platform with the scripted camera driver, a clock that stands
// still, pauses that are only recorded, a recording converter launcher and message boxes that
// are recorded instead of shown. Runs in a fresh temporary working directory.
#pragma once

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "message_boxes.h"
#include "station_fakes.h"
#include "station_window.h"

namespace tessel::testing {

class RecordingMessageBoxes final : public MessageBoxes {
public:
    struct Shown {
        QWidget* owner;
        QString text;
        MessageKind kind;
    };
    void Show(QWidget* owner, const QString& text, MessageKind kind) override { shown.push_back({owner, text, kind}); }

    std::vector<Shown> shown;
};

class WindowTest : public ::testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    // The window, shown and active.
    StationWindow& ShownWindow();
    template <typename Widget>
    Widget* Control(int id) const {
        return window->Controls().Find<Widget>(id);
    }
    void Click(int buttonId);
    // Processes events until `done` holds or a generous time has passed; returns `done()`.
    template <typename Condition>
    static bool WaitFor(Condition done) {
        return QTest::qWaitFor(done, 15000);
    }
    std::string ReadFile(const char* name) const;

    QTemporaryDir workDir;
    QString previousDir;
    FakeClock clock;
    RecordingSleeper sleeper;
    RecordingLauncher launcher;
    RecordingMessageBoxes messages;
    std::unique_ptr<StationWindow> window;
};

}  // namespace tessel::testing
