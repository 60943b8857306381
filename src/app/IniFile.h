#pragma once

#include <QString>

#include <stdexcept>

// A key that could not be written; what() is "Unable to write to <path>".
class IniWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An INI file read and written the way the Windows private-profile functions do, so the file the Windows
// program left behind reads back the same: section and key names without regard to case, values trimmed and
// freed of one pair of surrounding quotes, CR LF lines, and ANSI or UTF-16 text. Every call goes to the file.
class IniFile final {
public:
    explicit IniFile(QString path);

    const QString& path() const { return filePath; }

    // A missing or unreadable file, section or key gives the default; never throws.
    QString readString(const QString& section, const QString& key, const QString& defaultValue = {}) const;

    // Replaces the key's value in place, or adds the key (and the section) when missing; every other line
    // stays as it was. The file is replaced as a whole, so a failure leaves the old one, and it is kept
    // readable by its owner only. Throws IniWriteError.
    void writeString(const QString& section, const QString& key, const QString& value) const;

private:
    QString filePath;
};
