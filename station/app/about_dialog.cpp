#include "about_dialog.h"

#include <QPushButton>

#include "control_ids.h"
#include "resource_ids.h"
#include "template_builder.h"

namespace tessel {

AboutDialog::AboutDialog(QWidget* owner) : QDialog(owner) {
    setModal(true);
    controls_ = BuildDialog(*this, *res::FindDialogTemplate(res::IDD_ABOUTBOX));
    if (auto* ok = controls_.Find<QPushButton>(IDOK_EXIT)) {
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        ok->setFocus();
    }
}

}  // namespace tessel
