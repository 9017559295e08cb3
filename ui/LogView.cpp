// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogView.h"

#include "AlertController.h"
#include "AlertField.h"
#include "ArrivalJson.h"
#include "DatagramDetails.h"
#include "FindBar.h"
#include "LogHub.h"
#include "LogSaver.h"
#include "LogTable.h"
#include "RowJumps.h"
#include "SendersPanel.h"
#include "ShownRows.h"
#include "SyslogFields.h"
#include "TimeStamps.h"
#include "Timeline.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// Typing pauses this long before the filter applies: long enough not to scan the record again for
// every letter of a word, short enough to feel immediate.
constexpr int FilterPauseMs = 300;
// The status line's rate and counts are told this often, at most.
constexpr int StatusIntervalMs = 250;
// The rate is over the last this many seconds.
constexpr qint64 RateSeconds = 10;
// The window starts this share of the screen wide and high.
constexpr int ScreenShareNumerator = 2;
constexpr int ScreenShareDenominator = 3;
// The details pane's share of the height, in percent, when first shown.
constexpr int DetailsShare = 45;
// The senders panel's share of the width, in percent, when shown.
constexpr int SendersShare = 40;

} // namespace

LogView::LogView(LogHub &hub, AlertRules &alerts, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_hub(hub)
    , m_rows(new ShownRows(hub, this))
    , m_texts(hub.arrivals())
    , m_filterBar(new FindBar(QStringLiteral("viewFilter"),
                              tr("Filter: words, /expression/, host: app: sender: sev: "
                                 "facility: msgid:, ! before a term to hide"),
                              this))
    , m_findBar(new FindBar(QStringLiteral("viewFind"), tr("Find, in the same words"), this))
    , m_alerts(alerts)
    , m_alertBar(new AlertField(QStringLiteral("viewAlert"), tr("Alert on, in the same words"),
                                alerts, this))
    , m_tools(new QToolBar(this))
    , m_timeline(new Timeline(this))
    , m_table(new LogTable(m_rows->index(), m_texts, this))
    , m_details(new DatagramDetails(this, DatagramDetails::Placement::Pane))
    , m_split(new QSplitter(Qt::Vertical, this))
    , m_senders(new SendersPanel(hub.senderCounts(), this))
    , m_beside(new QSplitter(Qt::Horizontal, this))
    , m_newBelow(new QLabel(this))
    , m_said(new QLabel(this))
    , m_status(new QLabel(this))
    , m_saver(new LogSaver(this, hub.model()))
    , m_jumps(new RowJumps(hub, m_rows, m_table, m_findBar))
{
    setObjectName(QStringLiteral("logView"));
    setPort(0);
    m_table->setObjectName(QStringLiteral("logTable"));
    m_status->setObjectName(QStringLiteral("logViewStatus"));
    m_said->setObjectName(QStringLiteral("logViewSaid"));
    QFont strong = m_said->font();
    strong.setBold(true);
    m_said->setFont(strong);
    m_said->hide();
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_newBelow->setObjectName(QStringLiteral("logViewNewBelow"));
    m_newBelow->setTextFormat(Qt::RichText);
    m_newBelow->hide();
    m_findBar->hide();
    m_split->addWidget(m_table);
    m_split->addWidget(m_details);
    m_split->setStretchFactor(0, 1);
    m_split->setChildrenCollapsible(false);
    m_details->hide();

    m_filterBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_tools->setObjectName(QStringLiteral("logViewTools"));
    m_tools->addWidget(m_filterBar);
    m_senders->hide();
    m_beside->addWidget(m_split);
    m_beside->addWidget(m_senders);
    m_beside->setStretchFactor(0, 1);
    m_beside->setChildrenCollapsible(false);

    auto *layout = new QVBoxLayout(this);
    auto *menus = new QMenuBar(this);
    layout->setMenuBar(menus);
    layout->addWidget(m_tools);
    layout->addWidget(m_findBar);
    layout->addWidget(m_alertBar);
    layout->addWidget(m_timeline);
    layout->addWidget(m_beside, /*stretch*/ 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_said);
    bottom->addWidget(m_status, /*stretch*/ 1);
    bottom->addWidget(m_newBelow);
    layout->addLayout(bottom);
    setFocusProxy(m_table);

    m_filterPause.setSingleShot(true);
    m_filterPause.setInterval(FilterPauseMs);
    connect(&m_filterPause, &QTimer::timeout, this, &LogView::applyFilter);
    connect(m_filterBar, &FindBar::needleChanged, this, [this](const QString &text) {
        const Rule rule = Rule::parse(text);
        m_filterBar->setStatus(rule.error());
        if (rule.isValid())
            m_filterPause.start();
    });
    connect(m_filterBar, &FindBar::nextRequested, this, &LogView::applyFilter);
    connect(m_filterBar, &FindBar::previousRequested, this, &LogView::applyFilter);
    connect(m_findBar, &FindBar::needleChanged, this,
            [this](const QString &text) { m_findBar->setStatus(Rule::parse(text).error()); });
    connect(m_findBar, &FindBar::nextRequested, this, [this] { m_jumps->find(false); });
    connect(m_findBar, &FindBar::previousRequested, this, [this] { m_jumps->find(true); });

    m_timeline->setCounts(&m_rows->counts());
    connect(m_timeline, &Timeline::secondClicked, this, &LogView::goToSecond);
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &LogView::updateTimeline);
    connect(m_rows, &ShownRows::rowsReset, this, [this] {
        m_timeline->setCounts(&m_rows->counts());
        m_texts.clear();
        m_table->rowsReset();
        m_table->scrollToBottom();
        updateStatus();
    });
    connect(m_rows, &ShownRows::rowsAppended, m_table, &LogTable::rowsAppended);
    connect(m_rows, &ShownRows::scanProgressed, this, &LogView::updateStatus);
    connect(m_table, &LogTable::currentRowChanged, this, &LogView::updateDetails);
    connect(m_table, &LogTable::rowActivated, this, &LogView::showDetails);
    connect(m_table, &LogTable::cellMenuRequested, this, &LogView::showCellMenu);
    connect(m_table, &LogTable::newBelowChanged, this, [this](qint64 rows) {
        m_newBelow->setText(
            QStringLiteral("<a href=\"#\">%1</a>")
                .arg(tr("%L1 new below", nullptr, int(std::min<qint64>(rows, 2))).arg(rows)));
        m_newBelow->setVisible(rows > 0);
    });
    connect(m_newBelow, &QLabel::linkActivated, m_table, &LogTable::scrollToBottom);
    m_table->header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_table->header(), &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) {
                QMenu menu(this);
                addColumnActions(&menu);
                menu.exec(m_table->header()->mapToGlobal(at));
            });

    connect(m_jumps, &RowJumps::said, this, &LogView::say);

    connect(m_saver, &LogSaver::progressChanged, this, [this](const QString &text) {
        m_saving = text;
        updateStatus();
    });
    connect(m_saver, &LogSaver::said, this, [this](const QString &text) {
        m_saving.clear();
        updateStatus();
        say(text);
    });

    m_statusTimer.setInterval(StatusIntervalMs);
    connect(&m_statusTimer, &QTimer::timeout, this, &LogView::updateStatus);
    connect(&m_statusTimer, &QTimer::timeout, this, &LogView::updateTimeline);
    connect(&m_statusTimer, &QTimer::timeout, m_senders, [this] {
        if (m_senders->isVisible())
            m_senders->refresh();
    });
    connect(m_senders, &SendersPanel::termChosen, this,
            [this](const QString &term) { setFilterText(m_filterBar->needle() + u' ' + term); });
    addActions();
}

LogView::~LogView() = default;

void LogView::hideEvent(QHideEvent *event)
{
    m_statusTimer.stop();
    QWidget::hideEvent(event);
}

void LogView::setPort(quint16 port)
{
    setWindowTitle(port == 0 ? tr("Log View") : tr("Log View — UDP %1").arg(port));
}

void LogView::open(const QWidget *main)
{
    if (!m_placed) {
        m_placed = true;
        const QRect screen = main->screen()->availableGeometry();
        const QSize size = screen.size() * ScreenShareNumerator / ScreenShareDenominator;
        resize(size);
        const QSize frame = main->frameGeometry().size() - main->geometry().size();
        move(DatagramDetails::placeBeside(main->frameGeometry(), size + frame, screen).topLeft());
        m_table->scrollToBottom();
    }
    show();
    raise();
    activateWindow();
    m_table->setFocus();
    m_statusTimer.start();
    updateStatus();
}

// The menus hold every command with its keys as Qt's and KDE's conventions have them; the single
// keys of log viewers (n, /, g…) are further keys for the same commands, taken only where no field
// takes the letter as text.
void LogView::addActions()
{
    auto *menus = static_cast<QMenuBar *>(layout()->menuBar());
    const auto add = [this](QMenu *menu, const QString &text, const QList<QKeySequence> &keys,
                            const std::function<void()> &slot) {
        QAction *action = menu->addAction(text, this, slot);
        action->setShortcuts(keys);
        addAction(action);
        return action;
    };
    using K = QKeySequence;
    QMenu *file = menus->addMenu(tr("&File"));
    add(file, tr("&Export Shown Rows..."), { K(Qt::CTRL | Qt::SHIFT | Qt::Key_S) },
        [this] { exportRows(); });
    file->addSeparator();
    add(file, tr("&Close"), K::keyBindings(K::Close), [this] { close(); });

    QMenu *edit = menus->addMenu(tr("&Edit"));
    QAction *copy = add(edit, tr("&Copy"), K::keyBindings(K::Copy), [this] { copyRows(); });
    // The fields copy their own text.
    copy->setShortcutContext(Qt::WidgetShortcut);
    m_table->addAction(copy);
    add(edit, tr("Copy as &JSON Lines"), {}, [this] {
        QString lines;
        for (const qint64 datagram : selectedDatagrams()) {
            if (const std::optional<ArrivalEntry> entry = m_hub.arrivals().at(datagram))
                lines += arrivalJson(*entry, m_hub.arrivals().payload(datagram)) + u'\n';
        }
        QApplication::clipboard()->setText(lines);
    });
    QAction *all = add(edit, tr("Select &All"), K::keyBindings(K::SelectAll),
                       [this] { m_table->selectAll(); });
    all->setShortcutContext(Qt::WidgetShortcut);
    m_table->addAction(all);
    edit->addSeparator();
    add(edit, tr("&Filter..."), { K(Qt::CTRL | Qt::SHIFT | Qt::Key_F) },
        [this] { m_filterBar->open(); });
    add(edit, tr("&Find..."), { K::keyBindings(K::Find).value(0), K(Qt::Key_Slash) },
        [this] { m_findBar->open(); });
    add(edit, tr("Find &Next"), { K(Qt::Key_F3), K(Qt::Key_N) }, [this] { m_jumps->find(false); });
    add(edit, tr("Find Pre&vious"), { K(Qt::SHIFT | Qt::Key_F3), K(Qt::SHIFT | Qt::Key_N) },
        [this] { m_jumps->find(true); });
    // Escape stops what runs (a filter, a search, an export), else leaves a field for the rows.
    add(edit, tr("&Stop"), { K(Qt::Key_Escape) }, [this] {
        if (m_rows->isScanning()) {
            m_rows->cancelScan();
        } else if (m_jumps->isSearching()) {
            m_jumps->cancelSearch();
        } else if (m_saver->isSaving()) {
            m_saver->cancel();
        } else {
            if (m_findBar->isAncestorOf(focusWidget()))
                m_findBar->hide();
            m_table->setFocus();
        }
    });

    QMenu *go = menus->addMenu(tr("&Go"));
    add(go, tr("&Next Problem"), { K(Qt::Key_F8), K(Qt::Key_E) },
        [this] { m_jumps->jumpToProblem(false); });
    add(go, tr("&Previous Problem"), { K(Qt::SHIFT | Qt::Key_F8), K(Qt::SHIFT | Qt::Key_E) },
        [this] { m_jumps->jumpToProblem(true); });
    go->addSeparator();
    add(go, tr("&Mark Row"), { K(Qt::CTRL | Qt::Key_F2), K(Qt::Key_M) },
        [this] { m_jumps->toggleMark(); });
    add(go, tr("Next M&ark"), { K(Qt::Key_F2), K(Qt::Key_U) },
        [this] { m_jumps->jumpToMark(false); });
    add(go, tr("Previous Ma&rk"), { K(Qt::SHIFT | Qt::Key_F2), K(Qt::SHIFT | Qt::Key_U) },
        [this] { m_jumps->jumpToMark(true); });
    go->addSeparator();
    add(go, tr("&Top"), { K(Qt::CTRL | Qt::Key_Home), K(Qt::Key_G) },
        [this] { m_table->setCurrentRow(0); });
    add(go, tr("&Bottom"), { K(Qt::CTRL | Qt::Key_End), K(Qt::SHIFT | Qt::Key_G) }, [this] {
        m_table->setCurrentRow(m_rows->index().count() - 1);
        m_table->scrollToBottom();
    });

    addAlertActions(menus);

    // The panes' switches, in the toolbar too, where they show what is on.
    QMenu *view = menus->addMenu(tr("&View"));
    m_timelineAction = add(view, tr("&Timeline"), { K(Qt::Key_I) },
                           [this] { m_timeline->setVisible(m_timelineAction->isChecked()); });
    m_sendersAction = add(view, tr("&Senders"), { K(Qt::CTRL | Qt::SHIFT | Qt::Key_E) }, [this] {
        if (!m_sendersAction->isChecked()) {
            m_senders->hide();
            return;
        }
        // Beside the rows, wide enough for its columns.
        const int width = m_beside->width();
        m_senders->show();
        m_senders->refresh();
        m_beside->setSizes({ width - width * SendersShare / 100, width * SendersShare / 100 });
    });
    m_detailsAction = add(view, tr("&Details"), { K(Qt::CTRL | Qt::Key_I) }, [this] {
        if (m_detailsAction->isChecked())
            showDetails();
        else
            m_details->hide();
    });
    for (QAction *pane : { m_timelineAction, m_sendersAction, m_detailsAction }) {
        pane->setCheckable(true);
        m_tools->addAction(pane);
    }
    m_timelineAction->setChecked(true);
    QMenu *columns = view->addMenu(tr("&Columns"));
    connect(columns, &QMenu::aboutToShow, this, [this, columns] {
        columns->clear();
        addColumnActions(columns);
    });
}

void LogView::applyFilter()
{
    m_filterPause.stop();
    const Rule rule = Rule::parse(m_filterBar->needle());
    m_filterBar->setStatus(rule.error());
    if (!rule.isValid())
        return;
    if (rule.text() != m_rows->rule().text())
        m_rows->setRule(rule);
    else if (m_rows->wasCancelled())
        m_rows->resumeScan();
}

void LogView::setFilterText(const QString &text)
{
    m_filterBar->setNeedle(text);
    applyFilter();
}

void LogView::say(const QString &text)
{
    m_findBar->setStatus(text);
    m_said->setText(m_findBar->isVisible() ? QString() : text);
    m_said->setVisible(!m_said->text().isEmpty());
}

void LogView::updateStatus()
{
    const qint64 nowMs = QDateTime::currentMSecsSinceEpoch();
    const qint64 arrivals = m_hub.arrivals().size();
    if (m_sizes.empty() || nowMs - m_sizes.back().first >= MsPerSecond)
        m_sizes.emplace_back(nowMs, arrivals);
    while (m_sizes.size() > 1 && nowMs - m_sizes.front().first > RateSeconds * MsPerSecond)
        m_sizes.pop_front();
    if (m_sizes.back().second > arrivals) // cleared
        m_sizes.clear();
    QStringList parts;
    if (!m_saving.isEmpty())
        parts << m_saving;
    const RowIndex &index = m_rows->index();
    if (index.isFiltered())
        parts << tr("Showing %L1 of %L2 arrivals").arg(index.count()).arg(arrivals);
    else
        parts << tr("%L1 arrivals").arg(arrivals);
    if (m_rows->isScanning() && m_rows->scanTotal() > 0) {
        parts << tr("Filtering… %1 % · Escape stops")
                     .arg(m_rows->scanned() * 100 / m_rows->scanTotal());
    } else if (m_rows->wasCancelled()) {
        parts << tr("Filtering stopped at %1 %: Enter in the filter goes on")
                     .arg(m_rows->scanTotal() > 0 ? m_rows->scanned() * 100 / m_rows->scanTotal()
                                                  : 0);
    }
    if (!m_rows->scanError().isEmpty())
        parts << tr("part of the record could not be read: %1").arg(m_rows->scanError());
    if (!m_sizes.empty() && nowMs > m_sizes.front().first) {
        const double rate = double(arrivals - m_sizes.front().second) * MsPerSecond
            / double(nowMs - m_sizes.front().first);
        parts << tr("%L1 a second").arg(rate, 0, 'f', 0);
    }
    parts << tr("%L1 dropped since Start").arg(m_hub.arrivals().totalDropped());
    m_status->setText(parts.join(QStringLiteral(" · ")));
}

// Under the rows, as wide as they are, and nearly half their height the first time: the fields,
// the structured data and the dump need that much.
void LogView::showDetails()
{
    m_detailsAction->setChecked(true);
    if (!m_details->isVisible()) {
        const int height = m_split->height();
        m_details->show();
        m_split->setSizes({ height - height * DetailsShare / 100, height * DetailsShare / 100 });
    }
    updateDetails();
}

void LogView::updateDetails()
{
    if (!m_details->isVisible())
        return;
    const qint64 row = m_table->currentRow();
    if (row < 0 || row >= m_rows->index().count()) {
        m_details->showNone(tr("No row is chosen."));
        return;
    }
    const RowIndex::Row at = m_rows->index().at(row);
    QString why;
    const std::optional<ArrivalEntry> entry = m_hub.arrivals().at(at.datagram, &why);
    if (at.gap && entry) {
        m_details->showNone(tr("The system dropped %L1 datagrams here, before the next arrival: "
                               "they reached this machine but never Harkline.")
                                .arg(entry->arrival.droppedBefore));
    } else if (entry) {
        m_details->showDatagram(*entry, m_hub.arrivals().payload(at.datagram));
    } else {
        m_details->showNone(tr("This datagram's record is gone: %1").arg(why));
    }
}

void LogView::updateTimeline()
{
    if (!m_timeline->isVisible())
        return;
    const RowIndex &index = m_rows->index();
    const qint64 first = m_table->firstVisibleRow();
    const qint64 last = std::min(index.count(), first + m_table->visibleRowCount()) - 1;
    const std::optional<ArrivalEntry> from =
        last >= first ? m_hub.arrivals().at(index.at(first).datagram) : std::nullopt;
    const std::optional<ArrivalEntry> to =
        last >= first ? m_hub.arrivals().at(index.at(last).datagram) : std::nullopt;
    if (from && to)
        m_timeline->setRowsInView(from->arrival.timeNs, to->arrival.timeNs);
    else
        m_timeline->setRowsInView(0, -1);
}

// The first row that arrived in or after 'second': arrival times rise with the rows, but where
// the clock stepped back.
void LogView::goToSecond(qint64 second)
{
    const RowIndex &index = m_rows->index();
    qint64 low = 0;
    qint64 high = index.count();
    while (low < high) {
        const qint64 middle = low + (high - low) / 2;
        const std::optional<ArrivalEntry> entry = m_hub.arrivals().at(index.at(middle).datagram);
        if (entry && entry->arrival.timeNs < second * NsPerSecond)
            low = middle + 1;
        else
            high = middle;
    }
    m_table->setCurrentRow(low);
    m_table->setFocus();
}

void LogView::showArrival(qint64 datagram)
{
    m_jumps->goToDatagram(datagram, false);
    raise();
    activateWindow();
}

// The box's alert rules, set here too: the field takes the current row's host and program.
void LogView::addAlertActions(QMenuBar *menus)
{
    connect(m_alertBar, &AlertField::closed, m_table, [this] { m_table->setFocus(); });
    QMenu *alerts = menus->addMenu(tr("&Alerts"));
    // Owned by the view: the menu's clear() deletes the rules' entries, made for each showing.
    auto *openField = new QAction(tr("Alert O&n..."), this);
    connect(openField, &QAction::triggered, this, [this] {
        const qint64 datagram = m_jumps->currentDatagram();
        m_alertBar->openWith(datagram >= 0 ? m_alerts.ruleLike(datagram) : QString());
    });
    openField->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    addAction(openField);
    auto *errors = new QAction(tr("Alert on E&rrors"), this);
    connect(errors, &QAction::triggered, this, [this] { m_alerts.addErrors(); });
    alerts->addActions({ openField, errors });
    connect(alerts, &QMenu::aboutToShow, this, [this, alerts, openField, errors] {
        alerts->clear();
        alerts->addActions({ openField, errors });
        AlertController::addRulesTo(alerts, m_alerts);
    });
}

// A problem is shown at its gap's row where the system dropped datagrams before it.
std::vector<qint64> LogView::selectedDatagrams() const
{
    const RowIndex &index = m_rows->index();
    std::vector<qint64> datagrams;
    for (const auto &[from, to] : m_table->selection()) {
        for (qint64 row = from; row <= to; ++row) {
            const RowIndex::Row at = index.at(row);
            if (!at.gap)
                datagrams.push_back(at.datagram);
        }
    }
    return datagrams;
}

// The payloads exactly, each ended as the log ends it: what pasting the log's lines would give.
void LogView::copyRows() const
{
    QString text;
    for (const qint64 datagram : selectedDatagrams()) {
        text += QString::fromLatin1(m_hub.arrivals().payload(datagram));
        text += QLatin1String("\r\n");
    }
    QApplication::clipboard()->setText(text);
}

void LogView::exportRows()
{
    const RowIndex &index = m_rows->index();
    if (!index.isFiltered()) {
        m_saver->saveArrivals();
        return;
    }
    auto datagrams = std::make_shared<std::vector<qint64>>();
    datagrams->reserve(std::size_t(index.count()));
    for (qint64 row = 0; row < index.count(); ++row) {
        const RowIndex::Row at = index.at(row);
        if (!at.gap)
            datagrams->push_back(at.datagram);
    }
    m_saver->saveArrivals(std::move(datagrams));
}

// Narrowing the filter from a row: its host, program, sender, severity or message id.
void LogView::showCellMenu(qint64 row, int column, const QPoint &at)
{
    Q_UNUSED(column);
    QMenu menu(this);
    const RowIndex::Row shown = m_rows->index().at(row);
    const std::optional<ArrivalEntry> entry = m_hub.arrivals().at(shown.datagram);
    if (!shown.gap && entry) {
        const QByteArray payload = m_hub.arrivals().payload(shown.datagram);
        const SyslogFields fields = SyslogFields::read(payload, entry->arrival.timeNs);
        const auto offer = [&](Rule::Field field, const QString &name, const QString &value) {
            if (value.isEmpty())
                return;
            menu.addAction(tr("Show Only %1 %2").arg(name, value), this, [=, this] {
                setFilterText(m_filterBar->needle() + u' ' + Rule::termFor(field, value, false));
            });
            menu.addAction(tr("Hide %1 %2").arg(name, value), this, [=, this] {
                setFilterText(m_filterBar->needle() + u' ' + Rule::termFor(field, value, true));
            });
        };
        offer(Rule::Field::Host, tr("Host"), QString::fromUtf8(fields.hostname));
        offer(Rule::Field::App, tr("App"), QString::fromUtf8(fields.appName));
        offer(Rule::Field::Sender, tr("Sender"), entry->arrival.senderText());
        offer(Rule::Field::MessageId, tr("Message Id"), QString::fromUtf8(fields.msgId));
        if (fields.priority) {
            const QString level = QString(fields.priority->severityKeyword());
            menu.addAction(tr("Show Only Severity %1 or More Urgent").arg(level), this, [=, this] {
                setFilterText(m_filterBar->needle() + u' '
                              + Rule::termFor(Rule::Field::Severity, level, false));
            });
        }
        menu.addSeparator();
    }
    menu.addAction(tr("&Copy"), this, &LogView::copyRows);
    menu.addAction(tr("&Details"), this, &LogView::showDetails);
    menu.exec(at);
}

void LogView::addColumnActions(QMenu *menu)
{
    QHeaderView *header = m_table->header();
    for (int column = 0; column < RowText::Columns; ++column) {
        QAction *action = menu->addAction(RowText::columnName(column), this, [=] {
            header->setSectionHidden(column, !header->isSectionHidden(column));
        });
        action->setCheckable(true);
        action->setChecked(!header->isSectionHidden(column));
    }
}
