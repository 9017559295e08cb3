// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGSEARCH_H
#define HARKLINE_LOGSEARCH_H

#include <QObject>
#include <QString>
#include <QTextCursor>
#include <QTimer>

class QTextBlock;
class QTextDocument;

// Looks for a text in a document line by line, in slices short enough to leave the event loop
// free between them: a log of millions of lines is searched without freezing the window. Case is
// ignored unless the text holds a capital letter. The search wraps around the document once, and
// passes over lines that are hidden.
// Where it goes on, and where it began, are cursors in the document, so lines that change or move
// out between two slices do not mislead it.
class LogSearch : public QObject
{
    Q_OBJECT

public:
    explicit LogSearch(QTextDocument *document, QObject *parent = nullptr);

    // Starts looking for 'needle' from 'position' on (or, backward, for one that ends before it),
    // cancelling the search going on. found() or notFound() follows, from the event loop.
    void find(const QString &needle, int position, bool backward);
    void cancel();
    bool isSearching() const { return m_timer.isActive(); }

    // Where 'needle' occurs in 'block', as document positions.
    static QList<int> matchesIn(const QTextBlock &block, const QString &needle);

signals:
    // 'wrapped' when the match is found only after going round the end of the document.
    void found(int position, int length, bool wrapped);
    void notFound();

private:
    void searchSlice();
    // Where in 'block' the match nearest the search's place is, or -1.
    qsizetype matchIn(const QTextBlock &block, qsizetype place) const;

    QTextDocument *m_document;
    QTimer m_timer;
    QString m_needle;
    Qt::CaseSensitivity m_case = Qt::CaseInsensitive;
    bool m_backward = false;
    QTextCursor m_next; // where the search goes on
    QTextCursor m_origin; // where it began
    bool m_wrapped = false;
};

#endif // HARKLINE_LOGSEARCH_H
