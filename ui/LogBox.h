// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGBOX_H
#define HARKLINE_LOGBOX_H

#include "Arrival.h"

#include <QPlainTextEdit>
#include <QTimer>

// The log box. Lines that arrive during one pass of the event loop go into the document as one
// insertion, so a flood costs one layout and one repaint per pass rather than per datagram;
// text() already includes them. A text box keeps lines, not line ends, so the log's own line end,
// carriage return and line feed, is a paragraph break; a lone line feed a line break inside the
// paragraph; and a lone carriage return the visible sign ␍. text() turns them back, so the log
// reads exactly as the datagrams were sent.
class LogBox : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LogBox(QWidget *parent = nullptr);

    QString text() const;
    void setText(const QString &text);
    // Adds the payload and a carriage return and line feed at the end. The view follows the new
    // line only when it was scrolled to the bottom.
    void appendLine(const QString &payload, const Arrival &arrival = {});

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void insertPending();
    static QString toDocumentText(QStringView text);
    static QString fromDocumentText(QStringView text);

    QString m_pending; // appended but not in the document yet
    QTimer m_insertTimer; // inserts m_pending at the next pass of the event loop
};

#endif // HARKLINE_LOGBOX_H
