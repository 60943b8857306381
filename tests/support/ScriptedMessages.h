#pragma once

#include "common/Messages.h"

#include <QList>
#include <QString>

#include <functional>

// The message-box double: records every box and answers Yes/No questions as scripted (Yes when unscripted).
class ScriptedMessages final : public Messages {
public:
    struct Box {
        QString text;
        QString caption;
        Icon icon;
        Buttons buttons;
        QString detail;
    };

    Answer show(QWidget* parent, const QString& text, const QString& caption, Icon icon, Buttons buttons,
                const QString& detail) override;

    void answerNext(Answer answer) { answers.append(answer); }
    // Runs when a box is shown, while it is "open": lets a test look at the screen at that moment.
    void onShow(std::function<void(const Box&)> hook) { showHook = std::move(hook); }

    QList<Box> boxes;
    QList<Answer> answers;

    int count() const { return int(boxes.size()); }
    const Box& last() const { return boxes.last(); }
    void clear() { boxes.clear(); }

private:
    std::function<void(const Box&)> showHook;
};
