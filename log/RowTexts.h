// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ROWTEXTS_H
#define HARKLINE_ROWTEXTS_H

#include "RowText.h"

#include <QHash>

class ArrivalRecord;

// The rows' texts for a view, made from the record when first asked for and kept only for what is
// in view or near it: a view of millions of rows reads and decodes the few dozen it shows.
class RowTexts
{
public:
    explicit RowTexts(const ArrivalRecord &record);

    // Datagram 'index''s row; for one the record did not keep, or cannot read back, a row that
    // says so.
    const RowText &of(qint64 index);
    void clear() { m_rows.clear(); }

private:
    // Some pages of rows, a few times what a screen shows.
    static constexpr qsizetype MostKept = 4096;

    const ArrivalRecord &m_record;
    QHash<qint64, RowText> m_rows;
};

#endif // HARKLINE_ROWTEXTS_H
