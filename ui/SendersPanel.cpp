// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "SendersPanel.h"

#include "LogMargin.h"
#include "Rule.h"
#include "SenderCounts.h"
#include "TimeStamps.h"

#include <QAbstractTableModel>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QMenu>
#include <QSortFilterProxyModel>

namespace {

// Above and below a row's text.
constexpr int SenderRowPadding = 4;

} // namespace

// The senders' counts as rows that keep their places as the counts grow, so that sorting,
// selection and scrolling survive each refresh.
class SenderTable : public QAbstractTableModel
{
public:
    enum Column { Kind, Name, Datagrams, Bytes, Share, Rate, LastSeen, MostUrgent, Columns };
    static constexpr int SortRole = Qt::UserRole;

    using QAbstractTableModel::QAbstractTableModel;

    void update(const SenderCounts &counts, qint64 nowSecond);
    const SenderCounts::Row &row(int at) const { return m_rows[std::size_t(at)]; }

    int rowCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex &parent) const override
    {
        return parent.isValid() ? 0 : Columns;
    }
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    static QString keyOf(const SenderCounts::Row &row);

    std::vector<SenderCounts::Row> m_rows;
    QHash<QString, int> m_places; // a row's key, its place
    qint64 m_total = 0;
    qint64 m_now = 0;
};

QString SenderTable::keyOf(const SenderCounts::Row &row)
{
    if (row.others)
        return row.isHost ? QStringLiteral("o:h") : QStringLiteral("o:s");
    return row.isHost ? QStringLiteral("h:") + QString::fromLatin1(row.host)
                      : QStringLiteral("s:") + row.sender.senderText();
}

void SenderTable::update(const SenderCounts &counts, qint64 nowSecond)
{
    if (counts.total() < m_total) { // cleared
        beginResetModel();
        m_rows.clear();
        m_places.clear();
        endResetModel();
    }
    m_total = counts.total();
    m_now = nowSecond;
    std::vector<SenderCounts::Row> added;
    for (SenderCounts::Row &counted : counts.rows()) {
        const QString key = keyOf(counted);
        if (const auto place = m_places.constFind(key); place != m_places.cend())
            m_rows[std::size_t(*place)] = std::move(counted);
        else
            added.push_back(std::move(counted));
    }
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, Columns - 1));
    if (added.empty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + added.size()) - 1);
    for (SenderCounts::Row &newcomer : added) {
        m_places.insert(keyOf(newcomer), int(m_rows.size()));
        m_rows.push_back(std::move(newcomer));
    }
    endInsertRows();
}

QVariant SenderTable::data(const QModelIndex &index, int role) const
{
    const SenderCounts::Row &at = row(index.row());
    const SenderCounts::Count &count = at.count;
    if (role == Qt::ForegroundRole && index.column() == MostUrgent && count.mostUrgent >= 0)
        return LogMargin::severityColor(count.mostUrgent);
    if (role == Qt::TextAlignmentRole && index.column() >= Datagrams && index.column() <= Rate)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != SortRole)
        return {};
    const bool sorting = role == SortRole;
    switch (index.column()) {
    case Kind:
        return at.isHost ? tr("Host") : tr("Sender");
    case Name:
        if (at.others)
            return tr("all others, past %L1").arg(SenderCounts::MostSenders);
        return at.isHost ? QString::fromLatin1(at.host) : at.sender.senderText();
    case Datagrams:
        return sorting ? QVariant(count.datagrams) : QVariant(tr("%L1").arg(count.datagrams));
    case Bytes:
        return sorting ? QVariant(count.bytes) : QVariant(tr("%L1").arg(count.bytes));
    case Share: {
        const double share = m_total > 0 ? 100.0 * double(count.datagrams) / double(m_total) : 0;
        return sorting ? QVariant(share) : QVariant(tr("%1 %").arg(share, 0, 'f', 1));
    }
    case Rate: {
        const double rate = count.rate(m_now);
        return sorting ? QVariant(rate) : QVariant(tr("%L1/s").arg(rate, 0, 'f', 1));
    }
    case LastSeen:
        return sorting
            ? QVariant(count.lastNs)
            : QVariant(QDateTime::fromMSecsSinceEpoch(count.lastNs / (NsPerSecond / MsPerSecond))
                           .toString(QStringLiteral("HH:mm:ss.zzz")));
    case MostUrgent:
        if (sorting) // the most urgent first when ascending, none last
            return count.mostUrgent < 0 ? 8 : count.mostUrgent;
        return count.mostUrgent < 0
            ? QVariant(tr("none"))
            : QVariant(QString(SyslogPriority { quint8(count.mostUrgent) }.severityKeyword()));
    default:
        return {};
    }
}

QVariant SenderTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const std::array<const char *, Columns> Names {
        QT_TR_NOOP("Kind"),      QT_TR_NOOP("Sender or host"), QT_TR_NOOP("Datagrams"),
        QT_TR_NOOP("Bytes"),     QT_TR_NOOP("Share"),          QT_TR_NOOP("Last 10 s"),
        QT_TR_NOOP("Last seen"), QT_TR_NOOP("Most urgent"),
    };
    return tr(Names[std::size_t(section)]);
}

SendersPanel::SendersPanel(const SenderCounts &counts, QWidget *parent)
    : QTableView(parent)
    , m_counts(&counts)
    , m_table(new SenderTable(this))
{
    setObjectName(QStringLiteral("sendersPanel"));
    auto *sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(m_table);
    sorted->setSortRole(SenderTable::SortRole);
    sorted->setDynamicSortFilter(true);
    setModel(sorted);
    setSortingEnabled(true);
    sortByColumn(SenderTable::Datagrams, Qt::DescendingOrder);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setDefaultSectionSize(fontMetrics().lineSpacing() + SenderRowPadding);
    horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    horizontalHeader()->setStretchLastSection(true);
    setWordWrap(false);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        const QString term = termAt(index, false);
        if (!term.isEmpty())
            emit termChosen(term);
    });
}

void SendersPanel::refresh()
{
    m_table->update(*m_counts, QDateTime::currentSecsSinceEpoch());
}

QString SendersPanel::termAt(const QModelIndex &index, bool negated) const
{
    if (!index.isValid())
        return {};
    const auto *sorted = static_cast<const QSortFilterProxyModel *>(model());
    const SenderCounts::Row &row = m_table->row(sorted->mapToSource(index).row());
    if (row.others)
        return {};
    return row.isHost ? Rule::termFor(Rule::Field::Host, QString::fromLatin1(row.host), negated)
                      : Rule::termFor(Rule::Field::Sender, row.sender.senderText(), negated);
}

void SendersPanel::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex index = indexAt(viewport()->mapFrom(this, event->pos()));
    const QString show = termAt(index, false);
    if (show.isEmpty())
        return;
    QMenu menu(this);
    const QString name = index.siblingAtColumn(SenderTable::Name).data().toString();
    menu.addAction(tr("Show Only %1").arg(name), this, [this, show] { emit termChosen(show); });
    menu.addAction(tr("Hide %1").arg(name), this,
                   [this, hide = termAt(index, true)] { emit termChosen(hide); });
    menu.exec(event->globalPos());
}
