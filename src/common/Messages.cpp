#include "Messages.h"

#include <QLabel>
#include <QMessageBox>

Messages::Answer MessageBoxMessages::show(QWidget* parent, const QString& text, const QString& caption,
                                          Icon icon, Buttons buttons, const QString& detail) {
    QMessageBox box(parent);
    box.setWindowTitle(caption);
    box.setText(text);
    if (!detail.isEmpty()) {
        box.setInformativeText(detail);
        // A size smaller than the text, so the refusal itself reads first.
        if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
            QFont smaller = label->font();
            if (smaller.pixelSize() > 0)
                smaller.setPixelSize(smaller.pixelSize() - 1);
            else
                smaller.setPointSizeF(smaller.pointSizeF() * 0.9);
            label->setFont(smaller);
        }
    }
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
