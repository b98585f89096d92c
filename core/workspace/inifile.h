#pragma once

#include <QByteArray>
#include <QString>

namespace lexivo {

// The configuration file LEXIVO.INI: a Windows initialisation file of
// single-byte text. Section and key names compare without regard to case, a
// value is the text after "=" with surrounding blanks removed, the first of
// duplicate sections or keys wins. Nothing is cached: every read and every
// write goes to the file, so a value written is seen by the next read. A write
// changes only the text of that one value (or appends the key at the end of
// its section, creating section and file as needed); every other line, comment
// and line ending of the file survives it. Values are not cut at any length.
class IniFile {
public:
    explicit IniFile(QString path);

    const QString& path() const { return m_path; }
    bool exists() const;

    QByteArray readString(const QByteArray& section, const QByteArray& key,
                          const QByteArray& defaultValue = {}) const;
    // Signed decimal; also hexadecimal after "0x"/"0X" or "$". A missing key,
    // an empty value or text that is not a number gives defaultValue.
    qint32 readInteger(const QByteArray& section, const QByteArray& key, qint32 defaultValue) const;

    // Throws Error("Unable to write to <path>") when the file cannot be written.
    void writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value);
    void writeInteger(const QByteArray& section, const QByteArray& key, qint32 value);

    // The integer rule on its own, for the colour scheme files that share it.
    static bool parseInteger(const QByteArray& text, qint32& value);

private:
    QString m_path;
};

} // namespace lexivo
