#include "template_builder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <charconv>

#include "station_icon.h"

namespace tessel {
namespace {

using res::ControlKind;
using res::ControlTemplate;

QString ToQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool Has(uint32_t style, uint32_t bit) { return (style & bit) != 0; }

Qt::WindowFlags WindowFlagsFor(uint32_t style) {
    Qt::WindowFlags flags = Has(style, res::kAppWindow) ? Qt::Window : Qt::Dialog;
    flags |= Qt::CustomizeWindowHint;
    if (Has(style, res::kCaption)) flags |= Qt::WindowTitleHint;
    if (Has(style, res::kSysMenu)) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (Has(style, res::kMinimizeBox)) flags |= Qt::WindowMinimizeButtonHint;
    return flags;
}

QWidget* MakePushButton(const ControlTemplate& control, QWidget* parent) {
    auto* button = new QPushButton(ToQString(control.text), parent);
    button->setDefault(Has(control.style, res::kDefaultButton));
    return button;
}

QWidget* MakeComboBox(const QRect& droppedArea, QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(false);
    // The template's height includes the dropped-down list: show as many items as fit in it.
    const int closedHeight = combo->sizeHint().height();
    const int itemHeight = combo->fontMetrics().height();
    combo->setMaxVisibleItems(std::max(1, (droppedArea.height() - closedHeight) / std::max(1, itemHeight)));
    return combo;
}

QWidget* MakeEdit(const ControlTemplate& control, QWidget* parent) {
    if (!Has(control.style, res::kMultiLine)) {
        auto* edit = new QLineEdit(parent);
        edit->setFrame(Has(control.style, res::kBorder));
        return edit;
    }
    auto* edit = new QPlainTextEdit(parent);
    edit->setReadOnly(Has(control.style, res::kReadOnly));
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    const auto verticalBar = Has(control.style, res::kVScroll) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
    edit->setVerticalScrollBarPolicy(verticalBar);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (!Has(control.style, res::kBorder)) edit->setFrameShape(QFrame::NoFrame);
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    return edit;
}

QWidget* MakeLabel(const ControlTemplate& control, QWidget* parent) {
    auto* label = new QLabel(ToQString(control.text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

QWidget* MakeCheckBox(const ControlTemplate& control, QWidget* parent) {
    auto* check = new QCheckBox(ToQString(control.text), parent);
    if (Has(control.style, res::kLeftText)) check->setLayoutDirection(Qt::RightToLeft);
    return check;
}

QWidget* MakeIcon(const ControlTemplate& control, QWidget* parent) {
    int iconId = 0;
    std::from_chars(control.text.data(), control.text.data() + control.text.size(), iconId);
    auto* label = new QLabel(parent);
    label->setPixmap(LoadIconResource(iconId).pixmap(QSize(32, 32)));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QWidget* MakeControl(const ControlTemplate& control, const QRect& area, QWidget* parent) {
    switch (control.kind) {
    case ControlKind::PushButton: return MakePushButton(control, parent);
    case ControlKind::ComboBox: return MakeComboBox(area, parent);
    case ControlKind::Edit: return MakeEdit(control, parent);
    case ControlKind::Label: return MakeLabel(control, parent);
    case ControlKind::CheckBox: return MakeCheckBox(control, parent);
    case ControlKind::Icon: return MakeIcon(control, parent);
    }
    return nullptr;
}

// The area a control occupies on the dialog. A combo box's template height includes its list,
// so the closed box keeps its own height; an icon shown at its own size takes the icon's size.
QRect PlacedArea(const ControlTemplate& control, const QRect& templateArea, const QWidget& widget) {
    if (control.kind == ControlKind::ComboBox) {
        return {templateArea.topLeft(), QSize(templateArea.width(), widget.sizeHint().height())};
    }
    if (control.kind == ControlKind::Icon && Has(control.style, res::kRealSizeImage)) {
        return {templateArea.topLeft(), QSize(32, 32)};
    }
    return templateArea;
}

Qt::FocusPolicy FocusPolicyFor(const ControlTemplate& control) {
    if (Has(control.style, res::kTabStop)) return Qt::StrongFocus;
    if (control.kind == ControlKind::Edit) return Qt::ClickFocus;
    return Qt::NoFocus;
}

}  // namespace

DialogControls BuildDialog(QDialog& dialog, const res::DialogTemplate& dialogTemplate) {
    const QFont font = DialogFont(dialogTemplate.fontFace, dialogTemplate.pointSize);
    dialog.setFont(font);
    const DialogBaseUnits units = BaseUnitsOf(font);
    DialogControls controls;

    dialog.setWindowFlags(WindowFlagsFor(dialogTemplate.style));
    dialog.setWindowTitle(ToQString(dialogTemplate.caption));
    dialog.setFixedSize(MapDialogSize(units, dialogTemplate.cx, dialogTemplate.cy));

    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& control : dialogTemplate.controls) {
        const QRect area = MapDialogRect(units, control.x, control.y, control.cx, control.cy);
        QWidget* widget = MakeControl(control, area, &dialog);
        widget->setGeometry(PlacedArea(control, area, *widget));
        widget->setFocusPolicy(FocusPolicyFor(control));
        if (Has(control.style, res::kTabStop)) {
            if (previousTabStop != nullptr) QWidget::setTabOrder(previousTabStop, widget);
            previousTabStop = widget;
        }
        controls.Add(control.id, widget);
    }
    return controls;
}

QWidget* FirstTabStop(const DialogControls& controls) {
    for (const auto& [id, widget] : controls.InTemplateOrder()) {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0) return widget;
    }
    return nullptr;
}

int AddComboString(QComboBox& combo, std::string_view text, bool sorted) {
    const QString item = ToQString(text);
    int index = combo.count();
    if (sorted) {
        for (int i = 0; i < combo.count(); ++i) {
            if (QString::compare(combo.itemText(i), item, Qt::CaseInsensitive) > 0) {
                index = i;
                break;
            }
        }
    }
    combo.insertItem(index, item);
    return index;
}

void AddInitialComboItems(const DialogControls& controls, const res::DialogTemplate& dialogTemplate,
                          std::span<const res::ComboInitItem> items) {
    for (const res::ComboInitItem& item : items) {
        auto* combo = controls.Find<QComboBox>(item.controlId);
        if (combo == nullptr) continue;
        bool sorted = false;
        for (const ControlTemplate& control : dialogTemplate.controls) {
            if (control.id == item.controlId) sorted = Has(control.style, res::kSorted);
        }
        AddComboString(*combo, item.text, sorted);
    }
}

}  // namespace tessel
