// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGBOX_H
#define HARKLINE_LOGBOX_H

#include "Arrival.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

#include <functional>

// The log box. Lines that arrive go into the document at most once a frame, as one insertion of
// many lines, so a flood costs one layout and one repaint a frame rather than per datagram; text()
// already includes them. A text box keeps lines, not line ends, so the log's own line end,
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
    // Asked between pieces of an insertion; while it holds, the box leaves the processor and
    // inserts the rest a frame later.
    void setYieldCondition(std::function<bool()> yieldNow) { m_yieldNow = std::move(yieldNow); }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    enum class Insert { Yielding, Everything };
    void insertPending(Insert how);
    int frameMs() const;
    static QString toDocumentText(QStringView text);
    static QString fromDocumentText(QStringView text);

    QString m_pending; // appended; in the document from m_pendingFrom on
    qsizetype m_pendingFrom = 0;
    QTimer m_insertTimer;
    QElapsedTimer m_sinceInsert;
    std::function<bool()> m_yieldNow;
};

#endif // HARKLINE_LOGBOX_H
