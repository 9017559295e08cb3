// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_DATAGRAMDETAILS_H
#define HARKLINE_DATAGRAMDETAILS_H

#include "ArrivalChunk.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QTableWidget;

// A small window with everything known of one datagram: when it came, from whom, its size, the
// drops before it, every field of its syslog message (its structured data as a table of element,
// parameter and value), and its bytes as a hex dump, all of it selectable and copyable. It stays
// open beside the log and the log box tells it which datagram to show.
class DatagramDetails : public QWidget
{
    Q_OBJECT

public:
    explicit DatagramDetails(QWidget *parent = nullptr);

    void showDatagram(const ArrivalEntry &entry, const QByteArray &payload);
    // For a line that came in no datagram: one the user typed, or an empty one.
    void showNone(bool emptyLine);

private:
    QLabel *m_fields;
    QTableWidget *m_structuredData;
    QPlainTextEdit *m_bytes;
};

#endif // HARKLINE_DATAGRAMDETAILS_H
