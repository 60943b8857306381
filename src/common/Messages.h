#pragma once

#include <QString>

class QWidget;

// Every message box of the program goes through this service, so tests can script the answers.
class Messages {
public:
    enum class Icon { Exclamation, Error, Question, Information };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~Messages() = default;
    virtual Answer show(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                        Buttons buttons = Buttons::Ok) = 0;
};

// The real one: a modal QMessageBox.
class MessageBoxMessages final : public Messages {
public:
    Answer show(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                Buttons buttons) override;
};
