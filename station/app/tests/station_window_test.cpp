// The main window as built from its template: controls, lists, defaults, focus, geometry, data
// exchange with validation, ending the window, system commands, painting and help.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMenu>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "about_dialog.h"
#include "control_ids.h"
#include "dialog_template.h"
#include "dialog_units.h"
#include "minimised_icon.h"
#include "resource_ids.h"
#include "station_app.h"
#include "system_menu.h"
#include "window_fixture.h"

namespace tessel::testing {
namespace {

QStringList Items(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
    return items;
}

const res::DialogTemplate& MainTemplate() { return *res::FindDialogTemplate(res::IDD_STATION_DIALOG); }

using StationWindowTest = WindowTest;

TEST_F(StationWindowTest, FreshWindowShowsTheDefaults) {
    ShownWindow();
    EXPECT_EQ(Control<QComboBox>(IDC_SPEED)->currentText(), "115200");
    EXPECT_EQ(Control<QComboBox>(IDC_PORT)->currentText(), "COM1");
    EXPECT_EQ(Control<QComboBox>(IDC_CAMERA)->currentText(), "DC20");
    EXPECT_EQ(Control<QLineEdit>(IDC_REFRESH)->text(), "60");
    EXPECT_TRUE(Control<QCheckBox>(IDC_ARCHIVE)->isChecked());
    EXPECT_EQ(Control<QLineEdit>(IDC_MESSAGE)->text(), "");
    EXPECT_EQ(Control<QPlainTextEdit>(IDC_STATUS)->toPlainText(), "");
    EXPECT_EQ(QApplication::focusWidget(), Control<QPushButton>(IDOK_EXIT));
    EXPECT_EQ(window->windowTitle(), "Quillon");
}

TEST_F(StationWindowTest, ListsHoldTheirItemsInOrderAndTakeNoTyping) {
    const std::pair<int, QStringList> lists[] = {
        {IDC_SPEED, {"Auto", "9600", "19200", "38400", "57600", "115200", "230400"}},
        {IDC_PORT, {"Auto", "COM1", "COM2", "COM3", "COM4"}},
        {IDC_CAMERA, {"DC20", "DC25"}},
    };
    for (const auto& [id, items] : lists) {
        const auto* combo = Control<QComboBox>(id);
        ASSERT_NE(combo, nullptr) << id;
        EXPECT_EQ(Items(*combo), items) << id;
        EXPECT_FALSE(combo->isEditable()) << id;
    }
}

TEST_F(StationWindowTest, TabVisitsTheTabStopsInTemplateOrder) {
    ShownWindow();
    const std::vector<int> expected = {IDOK_EXIT, IDC_START,   IDC_STOP,    IDC_SPEED, IDC_PORT,
                                       IDC_CAMERA, IDC_REFRESH, IDC_ARCHIVE, IDC_MESSAGE, IDOK_EXIT};
    for (std::size_t i = 0; i + 1 < expected.size(); ++i) {
        ASSERT_EQ(QApplication::focusWidget(), window->Controls().Find(expected[i])) << "stop " << i;
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(QApplication::focusWidget(), window->Controls().Find(expected.back()));
}

TEST_F(StationWindowTest, StatusBoxIsReadOnlyWrapsWithoutScrollBarAndIsNoTabStop) {
    const auto* status = Control<QPlainTextEdit>(IDC_STATUS);
    EXPECT_TRUE(status->isReadOnly());
    EXPECT_EQ(status->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(status->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(status->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_FALSE(status->focusPolicy() & Qt::TabFocus);
}

TEST_F(StationWindowTest, WindowIsFixedSizeWithMinimiseAndCloseButNoMaximise) {
    const DialogBaseUnits units = BaseUnitsOf(window->font());
    EXPECT_EQ(window->minimumSize(), MapDialogSize(units, 194, 110));
    EXPECT_EQ(window->maximumSize(), MapDialogSize(units, 194, 110));
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->windowType(), Qt::Window);
}

TEST_F(StationWindowTest, ControlsArePlacedFromTheTemplateInBaseUnits) {
    const DialogBaseUnits units = BaseUnitsOf(window->font());
    const auto& built = window->Controls().InTemplateOrder();
    ASSERT_EQ(built.size(), MainTemplate().controls.size());
    for (std::size_t i = 0; i < built.size(); ++i) {
        const res::ControlTemplate& control = MainTemplate().controls[i];
        const QRect expected = MapDialogRect(units, control.x, control.y, control.cx, control.cy);
        const QRect actual = built[i].second->geometry();
        EXPECT_EQ(built[i].first, control.id);
        EXPECT_EQ(actual.topLeft(), expected.topLeft()) << "control " << i;
        EXPECT_EQ(actual.width(), expected.width()) << "control " << i;
        // A combo box's template height includes its dropped-down list.
        if (control.kind != res::ControlKind::ComboBox) {
            EXPECT_EQ(actual.height(), expected.height()) << "control " << i;
        }
    }
}

TEST_F(StationWindowTest, OpensCentredOnTheScreen) {
    ShownWindow();
    const QRect screen = window->screen()->availableGeometry();
    EXPECT_LE((window->frameGeometry().center() - screen.center()).manhattanLength(), 2);
}

struct RefreshCase {
    const char* text;
    bool valid;
};

class RefreshValidationTest : public WindowTest, public ::testing::WithParamInterface<RefreshCase> {};

TEST_P(RefreshValidationTest, ReadChecksTheRefreshIntervalAndReportsAFailure) {
    ShownWindow();
    Control<QLineEdit>(IDC_REFRESH)->setText(GetParam().text);

    EXPECT_EQ(window->Station().UpdateData(true), GetParam().valid);

    if (GetParam().valid) {
        EXPECT_TRUE(messages.shown.empty());
        EXPECT_EQ(window->Station().refreshSeconds, std::stoul(GetParam().text));
        return;
    }
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].owner, window.get());
    EXPECT_EQ(messages.shown[0].kind, MessageKind::Warning);
    EXPECT_FALSE(messages.shown[0].text.isEmpty());
    auto* refresh = Control<QLineEdit>(IDC_REFRESH);
    EXPECT_EQ(QApplication::focusWidget(), refresh);
    EXPECT_EQ(refresh->selectedText(), refresh->text());
}

INSTANTIATE_TEST_SUITE_P(Cases, RefreshValidationTest,
                         ::testing::Values(RefreshCase{"30", true}, RefreshCase{"90", true}, RefreshCase{"29", false},
                                           RefreshCase{"91", false}, RefreshCase{"abc", false}));

TEST_F(StationWindowTest, FailedReadLeavesLaterMembersAndTheNextWriteRestoresTheirControls) {
    ShownWindow();
    Control<QComboBox>(IDC_PORT)->setCurrentIndex(3);
    Control<QLineEdit>(IDC_REFRESH)->setText("abc");
    Control<QCheckBox>(IDC_ARCHIVE)->setChecked(false);
    Control<QLineEdit>(IDC_MESSAGE)->setText("new caption");

    EXPECT_FALSE(window->Station().UpdateData(true));
    EXPECT_EQ(window->Station().portIndex, 3);  // read before the refresh box
    EXPECT_EQ(window->Station().archiveImages, 1);
    EXPECT_EQ(window->Station().message, "");

    window->Station().UpdateData(false);
    EXPECT_TRUE(Control<QCheckBox>(IDC_ARCHIVE)->isChecked());
    EXPECT_EQ(Control<QLineEdit>(IDC_MESSAGE)->text(), "");
    EXPECT_EQ(Control<QLineEdit>(IDC_REFRESH)->text(), "60");
}

TEST_F(StationWindowTest, ExitWithAnInvalidRefreshKeepsTheWindowAndEscapeThenClosesIt) {
    ShownWindow();
    Control<QLineEdit>(IDC_REFRESH)->setText("25");
    Click(IDOK_EXIT);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(messages.shown.size(), 1u);

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_EQ(messages.shown.size(), 1u);  // Escape does not validate
}

TEST_F(StationWindowTest, ExitWithAValidRefreshEndsTheWindowAccepted) {
    ShownWindow();
    Click(IDOK_EXIT);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(StationWindowTest, ClosingTheWindowEndsItWithoutValidation) {
    ShownWindow();
    Control<QLineEdit>(IDC_REFRESH)->setText("letters");
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Rejected);
    EXPECT_TRUE(messages.shown.empty());
}

class EnterInMessageBoxTest : public WindowTest, public ::testing::WithParamInterface<RefreshCase> {};

TEST_P(EnterInMessageBoxTest, ReachesExitThroughTheDefaultButton) {
    ShownWindow();
    Control<QLineEdit>(IDC_REFRESH)->setText(GetParam().text);
    auto* message = Control<QLineEdit>(IDC_MESSAGE);
    message->setFocus();
    QTest::keyClicks(message, "hello");
    QTest::keyClick(message, Qt::Key_Return);

    EXPECT_EQ(window->isVisible(), !GetParam().valid);
    if (GetParam().valid) {
        EXPECT_EQ(window->result(), QDialog::Accepted);
        EXPECT_EQ(window->Station().message, "hello");
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, EnterInMessageBoxTest,
                         ::testing::Values(RefreshCase{"45", true}, RefreshCase{"25", false}));

// Runs `action` and reports the class of the modal dialog that opened meanwhile, closing it.
std::string ModalOpenedBy(const std::function<void()>& action) {
    std::string opened;
    QTimer probe;
    probe.setInterval(10);
    QObject::connect(&probe, &QTimer::timeout, [&opened] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = modal->metaObject()->className();
            modal->close();
        }
    });
    probe.start();
    action();
    probe.stop();
    return opened;
}

struct SysCommandCase {
    unsigned id;
    bool opensAbout;
};

class SysCommandTest : public WindowTest, public ::testing::WithParamInterface<SysCommandCase> {};

TEST_P(SysCommandTest, CommandsSixteenToThirtyOneOpenTheAboutBox) {
    ShownWindow();
    const std::string opened = ModalOpenedBy([this] { window->OnSysCommand(GetParam().id, 0); });
    EXPECT_EQ(opened, GetParam().opensAbout ? "tessel::AboutDialog" : "");
    EXPECT_TRUE(window->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Cases, SysCommandTest,
                         ::testing::Values(SysCommandCase{16, true}, SysCommandCase{17, true}, SysCommandCase{31, true},
                                           SysCommandCase{32, false}, SysCommandCase{0xF010, false}));

TEST_F(StationWindowTest, SystemCloseCommandEndsTheWindowWithoutValidation) {
    ShownWindow();
    Control<QLineEdit>(IDC_REFRESH)->setText("5");
    window->OnSysCommand(SC_CLOSE, 0);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StationWindowTest, ContextMenuEndsWithSeparatorAndTheAboutEntry) {
    const QList<QAction*> actions = window->SystemMenu().actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(), "&About tessel...");
    EXPECT_EQ(CommandOf(*actions.back()), res::IDM_ABOUTBOX);
}

TEST_F(StationWindowTest, RightClickOnTheBackgroundOpensTheMenuAndItsAboutEntryTheAboutBox) {
    ShownWindow();
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr) return;
        menu->setActiveAction(menu->actions().back());
        QTest::keyClick(menu, Qt::Key_Return);
    });
    const QPoint background(2, 2);
    QContextMenuEvent event(QContextMenuEvent::Mouse, background, window->mapToGlobal(background));
    EXPECT_EQ(ModalOpenedBy([&] { QApplication::sendEvent(window.get(), &event); }), "tessel::AboutDialog");
}

TEST_F(StationWindowTest, AboutBoxShowsIconTitleVersionAndOk) {
    AboutDialog about(window.get());
    EXPECT_EQ(about.windowTitle(), "About tessel");
    EXPECT_TRUE(about.isModal());
    EXPECT_EQ(about.parentWidget(), window.get());
    QStringList texts;
    const QLabel* iconLabel = nullptr;
    for (const auto& [id, widget] : about.Controls().InTemplateOrder()) {
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            if (label->pixmap().isNull()) texts << label->text();
            else iconLabel = label;
        }
    }
    EXPECT_EQ(texts, QStringList({"tessel  -  Quillon", "Version 1.0, released 10/15/1999"}));
    ASSERT_NE(iconLabel, nullptr);
    EXPECT_EQ(iconLabel->pixmap().size(), QSize(32, 32));
    auto* ok = about.Controls().Find<QPushButton>(IDOK_EXIT);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
}

TEST_F(StationWindowTest, IconHasBothSizesAndServesTitleBarAndDragging) {
    const QIcon drag = window->OnQueryDragIcon();
    EXPECT_TRUE(drag.availableSizes().contains(QSize(32, 32)));
    EXPECT_TRUE(drag.availableSizes().contains(QSize(16, 16)));
    EXPECT_EQ(window->windowIcon().cacheKey(), drag.cacheKey());
    // The ground is transparent, the body is not.
    const QImage image = drag.pixmap(QSize(32, 32)).toImage();
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(16, 18)), 255);
}

TEST_F(StationWindowTest, MinimiseCommandMinimisesAndTheWindowPaintsItsIconCentred) {
    ShownWindow();
    window->OnSysCommand(SC_MINIMIZE, 0);
    ASSERT_TRUE(window->isMinimized());
    const QImage painted = window->grab().toImage();
    const QImage icon = window->OnQueryDragIcon().pixmap(QSize(32, 32)).toImage();
    const QPoint origin = MinimisedIconOrigin(window->rect().size(), QSize(32, 32));
    const QPoint lens(16, 18);  // opaque black in the icon
    EXPECT_EQ(painted.pixel(origin + lens), icon.pixel(lens));
    EXPECT_NE(painted.pixel(origin + lens), painted.pixel(1, 1));
}

TEST_F(StationWindowTest, F1ShowsTheHelpText) {
    StationApp app({clock, sleeper, launcher, messages});
    ShownWindow();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QString::fromUtf8(HelpText()));
    EXPECT_EQ(messages.shown[0].kind, MessageKind::Information);
}

}  // namespace
}  // namespace tessel::testing
