// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogBox.h"

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
    m_insertTimer.setInterval(0);
    connect(&m_insertTimer, &QTimer::timeout, this, &LogBox::insertPending);
}

QString LogBox::text() const
{
    return fromDocumentText(document()->toRawText()) + m_pending;
}

void LogBox::setText(const QString &text)
{
    m_pending.clear();
    m_insertTimer.stop();
    setPlainText(toDocumentText(text));
}

void LogBox::appendLine(const QString &payload, const Arrival &arrival)
{
    Q_UNUSED(arrival);
    if (m_pending.isEmpty())
        m_insertTimer.start();
    m_pending += payload;
    m_pending += QLatin1String("\r\n");
}

void LogBox::insertPending()
{
    if (m_pending.isEmpty())
        return;
    QScrollBar *bar = verticalScrollBar();
    const bool following = bar->value() == bar->maximum();

    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertText(toDocumentText(m_pending));
    m_pending.clear();

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
    insertPending();
    QPlainTextEdit::keyPressEvent(event);
}

void LogBox::inputMethodEvent(QInputMethodEvent *event)
{
    insertPending();
    QPlainTextEdit::inputMethodEvent(event);
}

void LogBox::insertFromMimeData(const QMimeData *source)
{
    insertPending();
    QPlainTextEdit::insertFromMimeData(source);
}

void LogBox::contextMenuEvent(QContextMenuEvent *event)
{
    insertPending();
    QPlainTextEdit::contextMenuEvent(event);
}
