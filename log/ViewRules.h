// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_VIEWRULES_H
#define HARKLINE_VIEWRULES_H

#include "ArrivalChunk.h"

#include <QRegularExpression>
#include <QString>

#include <optional>
#include <span>
#include <vector>

// Which lines of the log the box shows. A rule changes what is shown, never what is kept, saved
// or copied as the log. A line is shown when every rule lets it through; a datagram of several
// lines is shown or hidden whole.
class ViewRules
{
public:
    // A datagram's sender, or the user's own lines, which have none.
    struct Sender
    {
        bool ipv4 = true;
        std::array<quint8, 16> address {};
        std::optional<quint16> port; // none: any port
        bool operator==(const Sender &other) const = default;
    };

    // "text" shows only the lines that hold it, "!text" hides them, "/text/" is a regular
    // expression; case counts only where the text holds a capital. Empty: no such rule. Returns
    // why an expression cannot be used, or nothing; the rule is then off.
    QString setText(const QString &text);
    QString text() const { return m_text; }
    // Shows only datagrams of syslog severity 'severity' (0 emergency ... 7 debug) or a more
    // urgent one; none, or 7, shows all again.
    void setSeverity(std::optional<int> severity);
    std::optional<int> severity() const { return m_severity; }
    // Shows only the lines from 'sender', or hides them.
    void addSender(const Sender &sender, bool showOnly);
    void clear();
    bool isEmpty() const;
    // Whether the rules look at what a datagram's record says, not only its text.
    bool needsEntry() const { return m_severity || !m_senders.empty(); }

    // Whether a datagram is shown: 'entry' is its record, none for lines the user typed; 'lines'
    // what its lines read now.
    bool shows(const std::optional<ArrivalEntry> &entry, std::span<const QString> lines) const;

    static Sender senderOf(const Arrival &arrival, bool withPort);

private:
    struct SenderRule
    {
        Sender sender;
        bool showOnly;
    };
    bool textLetsThrough(std::span<const QString> lines) const;
    static bool matches(const Sender &rule, const Arrival &arrival);

    QString m_text;
    QString m_needle; // the text to look for, without "!" or slashes
    QRegularExpression m_expression; // or this
    bool m_isExpression = false;
    bool m_negated = false;
    Qt::CaseSensitivity m_case = Qt::CaseInsensitive;
    std::optional<int> m_severity;
    std::vector<SenderRule> m_senders;
};

#endif // HARKLINE_VIEWRULES_H
