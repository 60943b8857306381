#include "ScriptedMessages.h"

Messages::Answer ScriptedMessages::show(QWidget*, const QString& text, const QString& caption, Icon icon,
                                        Buttons buttons, const QString& detail) {
    const Box box{text, caption, icon, buttons, detail};
    boxes.append(box);
    if (showHook)
        showHook(box);
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return answers.isEmpty() ? Answer::Yes : answers.takeFirst();
}
