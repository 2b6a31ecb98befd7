#pragma once

#include <QString>
#include <exception>

namespace veltry {

// An error that stops the step that raised it and is shown to the user with its own text;
// the program keeps running.
class AppError : public std::exception
{
public:
    explicit AppError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// The conversion error of the data files: "'%s' is not a valid integer value".
AppError invalidIntegerError(const QString& text);

// Reads a whole decimal integer the way the data files and the settings need it: optional
// leading blanks, an optional sign, digits (or "$"/"0x" hexadecimal). Returns false on anything else,
// including overflow of 32 bits.
bool parseInteger(QStringView text, qint64& value);
bool parseInteger(QByteArrayView text, qint64& value);

// A data file's number as parseInteger reads it; throws invalidIntegerError when it is none.
qint64 readFileInteger(QByteArrayView text);

} // namespace veltry
