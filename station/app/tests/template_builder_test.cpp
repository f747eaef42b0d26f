#include "template_builder.h"

#include <QComboBox>
#include <gtest/gtest.h>

namespace tessel {
namespace {

QStringList Items(const QComboBox& combo) {
    QStringList items;
    for (int i = 0; i < combo.count(); ++i) items << combo.itemText(i);
    return items;
}

struct AddStringCase {
    bool sorted;
    QStringList order;
};

class AddComboStringTest : public ::testing::TestWithParam<AddStringCase> {};

TEST_P(AddComboStringTest, AppendsOrInsertsInCaseInsensitiveOrder) {
    QComboBox combo;
    for (const char* text : {"Auto", "9600", "19200", "115200", "com1", "COM2"}) {
        AddComboString(combo, text, GetParam().sorted);
    }
    EXPECT_EQ(Items(combo), GetParam().order);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AddComboStringTest,
    ::testing::Values(AddStringCase{false, {"Auto", "9600", "19200", "115200", "com1", "COM2"}},
                      // Sorted as text, "115200" would come before "19200": why the speed list is not sorted.
                      AddStringCase{true, {"115200", "19200", "9600", "Auto", "com1", "COM2"}}));

TEST(AddComboStringIndexTest, IsThePositionOfTheNewItem) {
    QComboBox combo;
    EXPECT_EQ(AddComboString(combo, "b", true), 0);
    EXPECT_EQ(AddComboString(combo, "a", true), 0);
    EXPECT_EQ(AddComboString(combo, "c", true), 2);
    EXPECT_EQ(AddComboString(combo, "a", false), 3);
}

}  // namespace
}  // namespace tessel
