#include "system_menu.h"

#include <QMenu>
#include <gtest/gtest.h>

namespace tessel {
namespace {

struct AboutEntryCase {
    std::optional<std::string_view> text;
    bool appended;
};

class AppendAboutEntryTest : public ::testing::TestWithParam<AboutEntryCase> {};

TEST_P(AppendAboutEntryTest, AppendsSeparatorAndEntryOnlyForANonEmptyString) {
    QMenu menu;
    AddFrameCommands(menu);
    const qsizetype before = menu.actions().size();

    AppendAboutEntry(menu, GetParam().text, 16);

    const QList<QAction*> actions = menu.actions();
    if (!GetParam().appended) {
        EXPECT_EQ(actions.size(), before);
        return;
    }
    ASSERT_EQ(actions.size(), before + 2);
    EXPECT_TRUE(actions[before]->isSeparator());
    EXPECT_EQ(actions[before + 1]->text().toStdString(), *GetParam().text);
    EXPECT_EQ(CommandOf(*actions[before + 1]), 16u);
}

INSTANTIATE_TEST_SUITE_P(Cases, AppendAboutEntryTest,
                         ::testing::Values(AboutEntryCase{"&About tessel...", true}, AboutEntryCase{"", false},
                                           AboutEntryCase{std::nullopt, false}));

TEST(FrameCommandsTest, AreMinimiseThenClose) {
    QMenu menu;
    AddFrameCommands(menu);
    const QList<QAction*> actions = menu.actions();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(CommandOf(*actions[0]), SC_MINIMIZE);
    EXPECT_EQ(CommandOf(*actions[1]), SC_CLOSE);
}

}  // namespace
}  // namespace tessel
