#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The ":name" markers of a statement as the query object reads them: text in single or double quotes is
// skipped, "::" is a plain colon, and a name ends at a blank, a line break, a comma, a semicolon or a
// closing parenthesis.
struct ParsedStatement {
    QString sent;             // the text with each marker as "?" and each "::" as ":"
    QStringList names;        // each name once, without regard to case, as first spelled, in order
    std::vector<int> markers; // for each marker, in order, the index of its name in `names`
};

ParsedStatement parseMarkers(const QString& text);

// Whether Qt's own placeholder scan, which runs over every prepared text, would take a plain colon in the
// sent text for one of its named placeholders.
bool hasQtNamedPlaceholder(const QString& sent);
