// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogBox.h"

#include <QScreen>
#include <QScrollBar>
#include <QTextCursor>

namespace {

constexpr char16_t CarriageReturnSign = 0x240D; // ␍

} // namespace

LogBox::LogBox(QWidget *parent)
    : QPlainTextEdit(parent)
{
    // A long log must not keep a second copy of itself in the undo history.
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // First in the tab order, so Tab must lead on to the port box rather than type a tab.
    setTabChangesFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_insertTimer.setSingleShot(true);
    m_insertTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_insertTimer, &QTimer::timeout, this, [this] { insertPending(Insert::Yielding); });
}

QString LogBox::text() const
{
    return fromDocumentText(document()->toRawText())
        .append(QStringView(m_pending).sliced(m_pendingFrom));
}

void LogBox::setText(const QString &text)
{
    m_pending.clear();
    m_pendingFrom = 0;
    m_insertTimer.stop();
    setPlainText(toDocumentText(text));
}

void LogBox::appendLine(const QString &payload, const Arrival &arrival)
{
    Q_UNUSED(arrival);
    // The first line after a quiet spell shows at once; while lines keep coming, once a frame.
    if (!m_insertTimer.isActive()) {
        const qint64 sinceInsert = m_sinceInsert.isValid() ? m_sinceInsert.elapsed() : frameMs();
        m_insertTimer.start(int(qMax<qint64>(0, frameMs() - sinceInsert)));
    }
    m_pending += payload;
    m_pending += QLatin1String("\r\n");
}

int LogBox::frameMs() const
{
    const qreal rate = screen() ? screen()->refreshRate() : 0;
    return rate >= 1 ? qMax(1, qRound(1000 / rate)) : 16;
}

void LogBox::insertPending(Insert how)
{
    if (m_pendingFrom == m_pending.size())
        return;
    QScrollBar *bar = verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    m_sinceInsert.start();

    // In pieces of whole lines, so that a piece never splits a line end, and so that the reader
    // gets the processor soon when it needs it.
    constexpr qsizetype PieceSize = 16 * 1024;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    while (m_pendingFrom < m_pending.size()) {
        if (how == Insert::Yielding && m_yieldNow && m_yieldNow()) {
            m_insertTimer.start(frameMs());
            break;
        }
        const qsizetype lineEnd =
            m_pending.indexOf(QLatin1String("\r\n"), m_pendingFrom + PieceSize);
        const qsizetype pieceEnd = lineEnd < 0 ? m_pending.size() : lineEnd + 2;
        end.insertText(
            toDocumentText(QStringView(m_pending).sliced(m_pendingFrom, pieceEnd - m_pendingFrom)));
        m_pendingFrom = pieceEnd;
    }
    if (m_pendingFrom == m_pending.size()) {
        m_pending.resize(0); // keeps its capacity for the next frame's lines
        m_pendingFrom = 0;
    }

    if (following)
        bar->setValue(bar->maximum());
}

QString LogBox::toDocumentText(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            result += QChar(QChar::ParagraphSeparator);
            ++i;
        } else if (c == u'\n') {
            result += QChar(QChar::LineSeparator);
        } else if (c == u'\r') {
            result += QChar(CarriageReturnSign);
        } else {
            result += c;
        }
    }
    return result;
}

QString LogBox::fromDocumentText(QStringView text)
{
    QString result;
    result.reserve(text.size() + text.size() / 16);
    for (const QChar c : text) {
        if (c == QChar::ParagraphSeparator)
            result += QLatin1String("\r\n");
        else if (c == QChar::LineSeparator)
            result += u'\n';
        else if (c == CarriageReturnSign)
            result += u'\r';
        else
            result += c;
    }
    return result;
}

// The user's edits go after whatever arrived before them.
void LogBox::keyPressEvent(QKeyEvent *event)
{
    insertPending(Insert::Everything);
    QPlainTextEdit::keyPressEvent(event);
}

void LogBox::inputMethodEvent(QInputMethodEvent *event)
{
    insertPending(Insert::Everything);
    QPlainTextEdit::inputMethodEvent(event);
}

void LogBox::insertFromMimeData(const QMimeData *source)
{
    insertPending(Insert::Everything);
    QPlainTextEdit::insertFromMimeData(source);
}

void LogBox::contextMenuEvent(QContextMenuEvent *event)
{
    insertPending(Insert::Everything);
    QPlainTextEdit::contextMenuEvent(event);
}
