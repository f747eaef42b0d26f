// The widgets a dialog template was turned into, by control id and in template order.
#pragma once

#include <QWidget>
#include <utility>
#include <vector>

namespace tessel {

class DialogControls {
public:
    void Add(int id, QWidget* widget) { controls_.emplace_back(id, widget); }

    // The first control with this id, or nullptr.
    QWidget* Find(int id) const {
        for (const auto& [controlId, widget] : controls_) {
            if (controlId == id) return widget;
        }
        return nullptr;
    }

    template <typename Widget>
    Widget* Find(int id) const {
        return qobject_cast<Widget*>(Find(id));
    }

    const std::vector<std::pair<int, QWidget*>>& InTemplateOrder() const { return controls_; }

private:
    std::vector<std::pair<int, QWidget*>> controls_;
};

}  // namespace tessel
