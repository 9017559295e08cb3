// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_SENDERSPANEL_H
#define HARKLINE_SENDERSPANEL_H

#include <QTableView>

class SenderCounts;
class SenderTable;

// Who is talking, in a sortable table beside the Log View's rows: a row for each sender address
// and port and for each host the messages name, with datagrams, bytes, share, the recent rate,
// when last seen and the most urgent severity. A double click shows only that sender or host;
// the context menu hides it.
class SendersPanel : public QTableView
{
    Q_OBJECT

public:
    explicit SendersPanel(const SenderCounts &counts, QWidget *parent = nullptr);

    // Reads the counts again: the view calls it a few times a second while the panel shows.
    void refresh();

signals:
    // A term of the rule language that picks (or, 'negated', leaves) that sender or host.
    void termChosen(const QString &term);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QString termAt(const QModelIndex &index, bool negated) const;

    const SenderCounts *m_counts;
    SenderTable *m_table;
};

#endif // HARKLINE_SENDERSPANEL_H
