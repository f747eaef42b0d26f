#include "window_fixture.h"

#include <QDir>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <sstream>

#include "fake_dc25.h"

namespace tessel::testing {

WindowTest::WindowTest() : previousDir(QDir::currentPath()) {
    QDir::setCurrent(workDir.path());
    fake_dc25::Reset();
    window = std::make_unique<StationWindow>(StationServices{clock, sleeper, launcher, messages});
}

WindowTest::~WindowTest() {
    window.reset();
    QDir::setCurrent(previousDir);
}

StationWindow& WindowTest::ShownWindow() {
    window->show();
    window->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
    return *window;
}

void WindowTest::Click(int buttonId) {
    QTest::mouseClick(Control<QPushButton>(buttonId), Qt::LeftButton);
}

std::string WindowTest::ReadFile(const char* name) const {
    std::ifstream in(QDir(workDir.path()).filePath(QString::fromUtf8(name)).toStdString(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace tessel::testing
