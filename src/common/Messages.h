#pragma once

#include <QString>

class QWidget;

// The caption of every input and lookup problem the windows report.
inline const QString attentionCaption = QStringLiteral("Atenção!");

// Every message box of the program goes through this service, so tests can script the answers.
class Messages {
public:
    enum class Icon { Exclamation, Error, Question, Information };
    enum class Buttons { Ok, YesNo };
    enum class Answer { Ok, Yes, No };

    virtual ~Messages() = default;
    // `detail`, when given, is a second, smaller line under the text: the values behind a refusal.
    virtual Answer show(QWidget* parent, const QString& text, const QString& caption, Icon icon,
                        Buttons buttons = Buttons::Ok, const QString& detail = QString()) = 0;
};

// The real one: a modal QMessageBox.
class MessageBoxMessages final : public Messages {
public:
    Answer show(QWidget* parent, const QString& text, const QString& caption, Icon icon, Buttons buttons,
                const QString& detail) override;
};
