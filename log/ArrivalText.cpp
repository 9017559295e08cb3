// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "ArrivalText.h"

#include "TimeStamps.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace {

QDateTime localTime(qint64 timeNs)
{
    return QDateTime::fromMSecsSinceEpoch(floorMs(timeNs));
}

QString offsetText(int seconds)
{
    const QChar sign = seconds < 0 ? u'-' : u'+';
    seconds = qAbs(seconds);
    return QStringLiteral("%1%2:%3")
        .arg(sign)
        .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'));
}

// A tooltip's message: a few lines of about this many characters, at most.
constexpr qsizetype TipLineLength = 80;
constexpr int TipLines = 3;

// 'text' on at most TipLines lines, broken between words where it can, its control characters
// (line ends among them) as spaces, and "…" where it goes on.
QString tipLines(const QString &text)
{
    QString flat = text;
    std::replace_if(
        flat.begin(), flat.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; },
        u' ');
    flat = flat.simplified();
    QStringList lines;
    qsizetype at = 0;
    while (at < flat.size() && lines.size() < TipLines) {
        qsizetype end = std::min(flat.size(), at + TipLineLength);
        if (end < flat.size()) {
            const qsizetype space = flat.lastIndexOf(u' ', end);
            if (space > at)
                end = space;
        }
        lines << flat.mid(at, end - at);
        at = end < flat.size() && flat.at(end) == u' ' ? end + 1 : end;
    }
    if (at < flat.size())
        lines.last() += QChar(0x2026);
    return lines.join(u'\n');
}

} // namespace

QString countText(quint64 n)
{
    return QLocale(QLocale::English).toString(n);
}

QString isoLocalTime(qint64 timeNs)
{
    const qint64 ms = floorMs(timeNs);
    return rfc3339Text(ms, localOffsetSeconds(ms));
}

QString marginTime(qint64 timeNs)
{
    return localTime(timeNs).toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString droppedBeforeText(quint64 dropped)
{
    return dropped == 1 ? QStringLiteral("1 datagram dropped by the system before this one")
                        : QStringLiteral("%1 datagrams dropped by the system before this one")
                              .arg(countText(dropped));
}

QString programText(const SyslogFields &fields)
{
    QString program = fieldText(fields.appName);
    if (!fields.procId.isEmpty())
        program += QStringLiteral("[%1]").arg(fieldText(fields.procId));
    return program;
}

QString hostAndProgram(const SyslogFields &fields)
{
    return QStringList { fieldText(fields.hostname), programText(fields) }.join(u' ').trimmed();
}

QString arrivalDetails(const ArrivalEntry &entry, const SyslogMessage *message)
{
    const QDateTime time = localTime(entry.arrival.timeNs);
    QStringList lines;
    lines << QStringLiteral("Received %1 (UTC%2)")
                 .arg(time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                      offsetText(time.offsetFromUtc()));
    lines << QStringLiteral("From %1").arg(entry.arrival.senderText());
    lines << (entry.bytes == 1 ? QStringLiteral("1 byte")
                               : QStringLiteral("%1 bytes").arg(countText(quint64(entry.bytes))));
    const SyslogFields *fields = message ? &message->fields : nullptr;
    if (entry.priority) {
        lines << QStringLiteral("Syslog facility %1, severity %2")
                     .arg(entry.priority->facilityText(), entry.priority->severityText());
    }
    if (fields && !fields->hostname.isEmpty())
        lines << QStringLiteral("Host %1").arg(fieldText(fields->hostname));
    if (fields && !fields->appName.isEmpty()) {
        lines << (fields->procId.isEmpty()
                      ? QStringLiteral("Program %1").arg(fieldText(fields->appName))
                      : QStringLiteral("Program %1, process %2")
                            .arg(fieldText(fields->appName), fieldText(fields->procId)));
    }
    if (entry.arrival.droppedBefore > 0)
        lines << droppedBeforeText(entry.arrival.droppedBefore);
    if (message && !message->message.trimmed().isEmpty())
        lines << QStringLiteral("Message: %1").arg(tipLines(message->message));
    return lines.join(u'\n');
}
