#include "system_menu.h"

#include <QAction>

namespace tessel {
namespace {

void AddCommand(QMenu& menu, const QString& text, unsigned commandId) {
    QAction* action = menu.addAction(text);
    action->setData(commandId);
}

}  // namespace

unsigned CommandOf(const QAction& action) { return action.data().toUInt(); }

void AddFrameCommands(QMenu& menu) {
    AddCommand(menu, QStringLiteral("Mi&nimise"), SC_MINIMIZE);
    AddCommand(menu, QStringLiteral("&Close\tAlt+F4"), SC_CLOSE);
}

void AppendAboutEntry(QMenu& menu, std::optional<std::string_view> text, unsigned commandId) {
    if (!text.has_value() || text->empty()) return;
    menu.addSeparator();
    AddCommand(menu, QString::fromUtf8(text->data(), static_cast<qsizetype>(text->size())), commandId);
}

}  // namespace tessel
