// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FindController.h"

#include "FindBar.h"
#include "LogLines.h"
#include "LogSearch.h"

#include <QTextBlock>
#include <QTimer>

namespace {

// The colours find highlights have in most editors, the same on light and dark themes.
const QColor MatchBackground(0xff, 0xe0, 0x82);
const QColor MatchText(Qt::black);
// A search that takes longer than this says it is still searching.
constexpr int SearchingNoticeMs = 100;

} // namespace

FindController::FindController(QWidget *box, LogLines &lines)
    : QObject(box)
    , m_box(box)
    , m_lines(lines)
    , m_search(new LogSearch(lines.caret().document(), this))
{
    connect(m_search, &LogSearch::found, this, &FindController::showMatch);
    connect(m_search, &LogSearch::notFound, this, [this] { m_bar->setStatus(tr("Not found")); });
}

// Made when first asked for: the field's clear button costs the start-up an icon.
FindBar *FindController::makeBar()
{
    m_bar = new FindBar(QStringLiteral("find"), tr("Find"), m_box);
    connect(m_bar, &FindBar::needleChanged, this, [this](const QString &needle) {
        m_bar->setStatus({});
        if (needle.isEmpty()) {
            m_search->cancel();
            updateHighlights();
            return;
        }
        findFrom(m_origin, false);
    });
    connect(m_bar, &FindBar::nextRequested, this, &FindController::findNext);
    connect(m_bar, &FindBar::previousRequested, this, &FindController::findPrevious);
    connect(m_bar, &FindBar::closeRequested, this, &FindController::close);
    return m_bar;
}

void FindController::open()
{
    m_lines.insertPending();
    m_origin = m_lines.caret().selectionStart();
    (m_bar ? m_bar : makeBar())->open();
    emit openChanged();
    updateHighlights();
}

bool FindController::isOpen() const
{
    return m_bar && m_bar->isVisible();
}

// The match stays selected, and the focus goes back to the log.
void FindController::close()
{
    m_search->cancel();
    m_bar->hide();
    emit openChanged();
    updateHighlights();
    m_box->setFocus(Qt::OtherFocusReason);
}

void FindController::cancel()
{
    m_search->cancel();
    updateHighlights();
}

void FindController::findNext()
{
    findFrom(m_lines.caret().selectionEnd(), false);
}

void FindController::findPrevious()
{
    findFrom(m_lines.caret().selectionStart(), true);
}

void FindController::findFrom(int position, bool backward)
{
    if (!m_bar || m_bar->needle().isEmpty()) {
        open();
        return;
    }
    m_lines.insertPending();
    m_search->find(m_bar->needle(), position, backward);
    QTimer::singleShot(SearchingNoticeMs, this, [this] {
        if (m_search->isSearching())
            m_bar->setStatus(tr("Searching..."));
    });
}

void FindController::showMatch(int position, int length, bool wrapped)
{
    QTextCursor match = m_lines.caret();
    match.setPosition(position);
    match.setPosition(position + length, QTextCursor::KeepAnchor);
    m_lines.showCaret(match);
    m_origin = position;
    m_bar->setStatus(wrapped ? tr("Wrapped") : QString());
    updateHighlights();
}

void FindController::updateHighlights()
{
    emit highlightsChanged();
}

QList<QTextEdit::ExtraSelection> FindController::matchesInView() const
{
    QList<QTextEdit::ExtraSelection> highlights;
    const QString needle = isOpen() ? m_bar->needle() : QString();
    if (needle.isEmpty())
        return highlights;
    QTextCharFormat format;
    format.setBackground(MatchBackground);
    format.setForeground(MatchText);
    for (const LogLines::VisibleLine &line : m_lines.visibleLines()) {
        for (const int position : LogSearch::matchesIn(line.block, needle)) {
            QTextEdit::ExtraSelection match;
            match.cursor = QTextCursor(line.block);
            match.cursor.setPosition(position);
            match.cursor.setPosition(position + int(needle.size()), QTextCursor::KeepAnchor);
            match.format = format;
            highlights << match;
        }
    }
    return highlights;
}
