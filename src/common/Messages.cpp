#include "Messages.h"

#include <QMessageBox>

Messages::Answer MessageBoxMessages::show(QWidget* parent, const QString& text, const QString& caption,
                                          Icon icon, Buttons buttons, const QString& detail) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    switch (icon) {
    case Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }
    if (buttons == Buttons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return Answer::Ok;
}
