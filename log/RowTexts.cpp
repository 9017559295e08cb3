// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "RowTexts.h"

#include "ArrivalRecord.h"

RowTexts::RowTexts(const ArrivalRecord &record)
    : m_record(record)
{ }

const RowText &RowTexts::of(qint64 index)
{
    if (const auto known = m_rows.constFind(index); known != m_rows.cend())
        return *known;
    if (m_rows.size() >= MostKept)
        m_rows.clear(); // what is in view is made again at once
    QString why;
    const std::optional<ArrivalEntry> entry = m_record.at(index, &why);
    RowText row;
    if (entry) {
        row = RowText::of(*entry, m_record.payload(index));
    } else {
        row.texts[RowText::Message] = QStringLiteral("(this datagram's record is gone: %1)").arg(why);
    }
    return *m_rows.insert(index, row);
}
