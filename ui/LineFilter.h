// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LINEFILTER_H
#define HARKLINE_LINEFILTER_H

#include "ViewRules.h"

#include <QObject>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <optional>
#include <vector>

class LogHub;
class LogModel;
class QTextDocument;

// Applies the view rules to the lines in the log box: hides the lines they do not let through,
// all of them in slices short enough to keep the window responsive, and new lines as they come.
// A line after datagrams the system dropped, among hidden lines, is marked so that the loss
// shows. Counts the lines shown.
class LineFilter : public QObject
{
    Q_OBJECT

public:
    explicit LineFilter(LogHub &hub, QObject *parent = nullptr);

    ViewRules &rules() { return m_rules; }
    const ViewRules &rules() const { return m_rules; }
    // After the rules changed: looks at every line again, from the first.
    void apply();
    bool isApplying() const { return m_timer.isActive(); }
    // After lines were added at the end: looks at them. Returns how many of them are shown.
    qint64 filterNew();
    // After the document was emptied.
    void reset();

    // Lines hidden now (while a pass is going on, as far as it has come).
    qint64 hiddenLines() const { return m_hidden; }
    // Whether the system dropped datagrams just before the line, or among hidden lines before it.
    bool followsLoss(const QTextBlock &line) const;

signals:
    // Lines were hidden or shown.
    void changed();

private:
    // The first and the last line whose visibility changed.
    struct Changed
    {
        QTextBlock first;
        QTextBlock last;
    };
    void applySlice();
    // Looks at the lines of one datagram from 'first', or at one typed line, 'index' being its
    // datagram; returns the line after them, and its datagram in 'index'.
    QTextBlock filterDatagram(const QTextBlock &first, std::optional<qint64> &index,
                              Changed &changed);
    void markDirty(const Changed &changed);
    void setHiddenLoss(const QTextBlock &line, bool loss);
    void countHiddenMovingOut(const QTextBlock &firstKept);

    LogModel &m_model;
    ViewRules m_rules;
    QTimer m_timer;
    QTextCursor m_next; // where the pass goes on, or where new lines begin
    bool m_lossPending = false; // datagrams dropped among hidden lines, no shown line after yet
    qint64 m_hidden = 0;
    // Kept from one datagram to the next, so that looking at one allocates nothing.
    std::vector<QTextBlock> m_blocks;
    std::vector<QString> m_texts;
};

#endif // HARKLINE_LINEFILTER_H
