// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_DATAGRAMDETAILS_H
#define HARKLINE_DATAGRAMDETAILS_H

#include "ArrivalChunk.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QSplitter;
class QTableWidget;

// A small window with everything known of one datagram: when it came, from whom, its size, the
// drops before it, every field of its syslog message (its structured data as a table of element,
// parameter and value), and its bytes as a hex dump, all of it selectable and copyable. It stays
// open beside the log and the log box tells it which datagram to show.
class DatagramDetails : public QWidget
{
    Q_OBJECT

public:
    // A window of its own beside the log box, or a pane inside another window.
    enum class Placement { Window, Pane };
    explicit DatagramDetails(QWidget *parent = nullptr, Placement placement = Placement::Window);

    void showDatagram(const ArrivalEntry &entry, const QByteArray &payload);
    // For a line or row with no datagram: 'why' says so.
    void showNone(const QString &why);

    // Where the window of 'size' goes beside 'window' (frames, in screen coordinates) on a
    // screen whose free room is 'screen': to its right, else to its left, else below it, so that
    // neither covers the other while the screen has room for both.
    static QRect placeBeside(const QRect &window, const QSize &size, const QRect &screen);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    // The table as tall as its rows, up to a share of the room; the dump the rest.
    void shareRoom();

    QLabel *m_fields;
    QTableWidget *m_structuredData;
    QPlainTextEdit *m_bytes;
    QSplitter *m_split;
};

#endif // HARKLINE_DATAGRAMDETAILS_H
