#pragma once

#include <QString>
#include <stdexcept>

namespace lexivo {

// Every failure the core reports is one of these. The window catches them in
// one guard and shows message() in a message box; the command-line program
// prints it. Core code never shows anything itself.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const { return m_message; }

private:
    QString m_message;
};

// A file that cannot be opened, created, read or written.
class FileError : public Error {
public:
    using Error::Error;
    // "Cannot open file "<path>". <reason>"
    static FileError cannotOpen(const QString& path, const QString& reason);
    // "Cannot create file "<path>". <reason>"
    static FileError cannotCreate(const QString& path, const QString& reason);
};

// Damaged input: the message names the file and the byte offset or record.
class DataError : public Error {
public:
    using Error::Error;
};

} // namespace lexivo
