// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_RULE_H
#define HARKLINE_RULE_H

#include "ArrivalChunk.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QRegularExpression>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <vector>

struct SyslogFields;

// What a user types to pick datagrams out of the record: in the Log View's filter and find fields,
// and the same language wherever a rule is typed. Terms, separated by spaces, must all hold:
//   word             the payload holds it; case counts only where the word holds a capital
//   /expression/     a regular expression over the payload, with the same case rule
//   host:NAME        the syslog host is NAME (whole, in any case); also app:, msgid:
//   sender:ADDRESS   the sender's address, or address:port ([address]:port for IPv6)
//   facility:NAME    the syslog facility, by name (local7) or number (23)
//   sev:LEVEL        the syslog severity LEVEL (err, or 3) or a more urgent one
//   !term            the term does not hold
//   "two words"      a term that holds spaces; \" and \\ inside the quotes
// The payload is read one character per byte, and a word holding characters beyond ASCII is also
// looked for as UTF-8, so that it is found whichever the sender wrote.
class Rule
{
public:
    // The rule 'text' says, or, when it says it wrongly, an empty rule that is not valid and says
    // why.
    static Rule parse(QStringView text);

    QString text() const { return m_text; }
    bool isEmpty() const { return m_terms.empty(); }
    bool isValid() const { return m_error.isEmpty(); }
    // What is wrong, where: "sev:xyz: not a severity (emerg … debug, or 0 … 7)".
    QString error() const { return m_error; }
    // Whether deciding needs the datagram read as syslog (a host, program or message id term).
    bool needsFields() const { return m_needsFields; }

    // Whether datagram 'entry' with 'payload' is one the rule picks; 'fields' is the payload read
    // as syslog, needed where needsFields().
    bool matches(const ArrivalEntry &entry, QByteArrayView payload,
                 const SyslogFields *fields) const;

    // The term that picks out exactly one value of a field, as a menu offers it: "host:fw01",
    // "!app:CRON", quoted where the value needs it.
    enum class Field { Host, App, Sender, Severity, MessageId, Facility };
    static QString termFor(Field field, const QString &value, bool negated);
    // A rule's 'text' for a menu: one long enough to widen it past the screen cut in its middle.
    static QString elided(const QString &text);
    // The term that finds 'text' as it is, quoted so that it reads as nothing else.
    static QString termForText(const QString &text);

private:
    enum class Kind { Word, Expression, Host, App, MessageId, Sender, Facility, Severity };
    struct Term
    {
        Kind kind = Kind::Word;
        bool negated = false;
        // A word: its bytes, as Latin-1 and as UTF-8 where they differ; folded to lower case
        // where the case does not count.
        QByteArray latin1;
        QByteArray utf8;
        bool caseCounts = false;
        QRegularExpression expression;
        QByteArray value; // a field's, lower case
        // A sender: its address and, where given, its port.
        bool ipv4 = true;
        std::array<quint8, 16> address {};
        std::optional<quint16> port;
        int level = 0; // a facility's or severity's number
    };

    bool holds(const Term &term, const ArrivalEntry &entry, QByteArrayView payload,
               const SyslogFields *fields) const;
    static std::optional<Term> termOf(QStringView word, bool quoted, QString *error);

    QString m_text;
    QString m_error;
    std::vector<Term> m_terms;
    bool m_needsFields = false;
};

#endif // HARKLINE_RULE_H
