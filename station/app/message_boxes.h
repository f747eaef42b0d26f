// Modal messages to the user (validation failures, help). Behind a seam so tests can see them
// without a human to dismiss them.
#pragma once

#include <QString>

class QWidget;

namespace tessel {

enum class MessageKind { Warning, Information };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows `text` modally over `owner` and returns when the user dismisses it. The event loop
    // keeps running meanwhile, so timers go on ticking.
    virtual void Show(QWidget* owner, const QString& text, MessageKind kind) = 0;
};

// Real message boxes, titled with the application's display name.
class QtMessageBoxes final : public MessageBoxes {
public:
    void Show(QWidget* owner, const QString& text, MessageKind kind) override;
};

}  // namespace tessel
