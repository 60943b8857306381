#pragma once

#include <QString>

// A file's name as the host's own programs read it: under Wine, where the tests may hand a file to a Linux
// program (the SQLite3 ODBC driver, the TDS stand-in), its Unix name; elsewhere the path itself.
QString hostPath(const QString& path);
