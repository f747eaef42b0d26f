// The About box: icon, program title, version line and OK, built from template 100. Modal over
// its owner; made afresh for every About command and keeping no state.
#pragma once

#include <QDialog>

#include "dialog_controls.h"

namespace tessel {

class AboutDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* owner);

    const DialogControls& Controls() const { return controls_; }

private:
    DialogControls controls_;
};

}  // namespace tessel
