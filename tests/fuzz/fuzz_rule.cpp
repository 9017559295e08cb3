// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// Any rule a user types against any datagram: the input's first line is the rule, the rest the
// payload. Parsing never fails without saying why, a term and its negation never agree, and the
// row the Log View shows of the datagram is one line with every control byte made visible.

#include "RowText.h"
#include "Rule.h"
#include "SyslogFields.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size > 65507 + 1024) // the largest IPv4 payload, and a rule
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype end = input.indexOf('\n');
    const QString text = QString::fromUtf8(input.left(end < 0 ? 0 : end));
    const QByteArray payload = end < 0 ? input : input.mid(end + 1);

    const Rule rule = Rule::parse(text);
    if (rule.isValid() != rule.error().isEmpty() || (!rule.isValid() && !rule.isEmpty()))
        std::abort();
    const SyslogFields fields = SyslogFields::read(payload, 0);
    ArrivalEntry entry;
    entry.bytes = qint32(payload.size());
    entry.priority = fields.priority;
    const bool matches = rule.matches(entry, payload, &fields);
    // One term, not negated already: its negation picks exactly what it leaves.
    if (rule.isValid() && !rule.isEmpty() && !text.startsWith(u'!') && !text.contains(u'"')
        && std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSpace(); })) {
        const Rule negated = Rule::parse(QStringLiteral("!") + text);
        if (negated.isValid() && negated.matches(entry, payload, &fields) == matches)
            std::abort();
    }

    const RowText row = RowText::of(entry, payload);
    for (const QString &cell : row.texts) {
        if (std::any_of(cell.begin(), cell.end(), [](QChar c) {
                return c.category() == QChar::Other_Control || c == QChar::LineSeparator
                    || c == QChar::ParagraphSeparator;
            }))
            std::abort();
    }
    return 0;
}
