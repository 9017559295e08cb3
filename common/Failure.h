// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_FAILURE_H
#define HARKLINE_FAILURE_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <exception>

// Every failure number the program can report. They are shown to the user, so they never change
// meaning once given out.
enum class FailureNumber : qint32 {
    Overflow = 1, // a number too large to read or to make whole
    PortOutOfRange = 2, // a port outside 0 to 65535
    BindRefused = 3, // the system would not let an endpoint take its local port
    SendRefused = 4, // a datagram could not be sent
    ReceiveFailed = 5, // the system reported an error while receiving
    NotLatin1 = 6, // a character that cannot travel as one byte
    Unexpected = 7, // anything else that went wrong, such as running out of memory
};

// What a failing operation raises. Handlers let it pass; the program's one failure trap reports
// it to the user.
class Failure : public std::exception
{
public:
    Failure(FailureNumber number, const QString &description);

    qint32 number() const { return qint32(m_number); }
    FailureNumber kind() const { return m_number; }
    QString description() const { return m_description; }
    const char *what() const noexcept override { return m_what.constData(); }

private:
    FailureNumber m_number;
    QString m_description;
    QByteArray m_what;
};

#endif // HARKLINE_FAILURE_H
