// Start, Stop and the capture timer through the window, with the scripted camera driver.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>

#include "control_ids.h"
#include "fake_dc25.h"
#include "window_fixture.h"

namespace tessel::testing {
namespace {

constexpr const char* kFullCycle =
    "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture Finished Processing";

// Records the text the status box holds each time it is painted.
class PaintedStatus final : public QObject {
public:
    explicit PaintedStatus(QPlainTextEdit& status) : status_(status) { status.viewport()->installEventFilter(this); }

    std::vector<std::string> texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == status_.viewport() && event->type() == QEvent::Paint) {
            const std::string text = status_.toPlainText().toStdString();
            if (texts.empty() || texts.back() != text) texts.push_back(text);
        }
        return false;
    }

private:
    QPlainTextEdit& status_;
};

class ScheduleWindowTest : public WindowTest {
protected:
    std::string Status() const { return Control<QPlainTextEdit>(IDC_STATUS)->toPlainText().toStdString(); }
    bool WaitForCycles(std::size_t count) {
        return WaitFor([&] { return fake_dc25::CalledFunctions().size() >= 7 * count && Status() == kFullCycle; });
    }
};

TEST_F(ScheduleWindowTest, StartRunsACycleLaterThatShowsEveryStepAsItHappens) {
    ShownWindow();
    PaintedStatus painted(*Control<QPlainTextEdit>(IDC_STATUS));

    Click(IDC_START);
    EXPECT_TRUE(fake_dc25::Calls().empty());  // the first cycle waits for the timer
    ASSERT_TRUE(WaitForCycles(1));

    // Each intermediate status was on screen before the cycle returned to the event loop.
    const std::vector<std::string> shown = {
        "Say \"Cheese!\"",
        "Say \"Cheese!\" Acquiring Picture",
        "Say \"Cheese!\" Acquiring Picture Creating Web Image",
        "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture",
    };
    ASSERT_GE(painted.texts.size(), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(painted.texts[i], shown[i]);
    EXPECT_EQ(launcher.starts, std::vector<std::string>({"19991015083005 ARCHIVE"}));
    EXPECT_EQ(fake_dc25::CalledFunctions().size(), 7u);
    EXPECT_EQ(ReadFile("image19991015083005.dc2").size(), 600u);
}

TEST_F(ScheduleWindowTest, StopShowsWebCamStoppedAndMakesTheFinalConverterCall) {
    ShownWindow();
    Click(IDC_START);
    ASSERT_TRUE(WaitForCycles(1));

    Click(IDC_STOP);
    EXPECT_EQ(Status(), "WebCam stopped");
    EXPECT_EQ(launcher.starts.back(), "19991015083005 ARCHIVE off");
}

TEST_F(ScheduleWindowTest, ClosingWhileTheScheduleRunsSkipsStopAndEndsTheTimer) {
    ShownWindow();
    Control<QLineEdit>(IDC_MESSAGE)->setText("on the roof");
    Click(IDC_START);
    ASSERT_TRUE(WaitForCycles(1));
    ASSERT_EQ(ReadFile("message.txt"), "on the roof");

    Click(IDC_START);  // arms the next cycle 500 ms from now
    window->close();
    QTest::qWait(1500);

    EXPECT_EQ(ReadFile("message.txt"), "on the roof");
    EXPECT_EQ(launcher.starts, std::vector<std::string>({"19991015083005 ARCHIVE"}));
    EXPECT_EQ(fake_dc25::CalledFunctions().size(), 7u);  // no cycle after the window ended
}

TEST_F(ScheduleWindowTest, CapturesGoOnUnderTheAboutBox) {
    ShownWindow();
    Click(IDC_START);
    bool capturedUnderAbout = false;
    QTimer watcher;
    watcher.setInterval(20);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && Status() == kFullCycle) {
            capturedUnderAbout = true;
            modal->close();
        }
    });
    watcher.start();
    QTimer::singleShot(15000, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });
    window->OnSysCommand(16, 0);
    EXPECT_TRUE(capturedUnderAbout);
}

TEST_F(ScheduleWindowTest, TicksOfOtherTimersLeaveTheScheduleAlone) {
    ShownWindow();
    window->Arm(7, 10);
    QTest::qWait(200);
    window->Kill(7);
    EXPECT_TRUE(fake_dc25::Calls().empty());
    EXPECT_EQ(Status(), "");
}

}  // namespace
}  // namespace tessel::testing
