#pragma once

#include <QString>

class QLineEdit;

// The value of a masked field as the program reads it: the typed characters without the mask's literals,
// position by position from the displayed text, trailing blanks dropped (a blank between characters stays).
QString maskedValue(const QLineEdit& edit);

// Lays the value's characters into the mask's input positions in order.
void setMaskedValue(QLineEdit& edit, const QString& value);
