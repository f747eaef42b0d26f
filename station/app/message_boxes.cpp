#include "message_boxes.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace tessel {

void QtMessageBoxes::Show(QWidget* owner, const QString& text, MessageKind kind) {
    const auto icon = kind == MessageKind::Warning ? QMessageBox::Warning : QMessageBox::Information;
    QMessageBox box(icon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, owner);
    box.exec();
}

}  // namespace tessel
