// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogCommands.h"

#include "AlertController.h"
#include "FindController.h"
#include "Highlights.h"
#include "LineJumps.h"
#include "LogBox.h"
#include "LogMargin.h"
#include "LogSaver.h"
#include "ViewRules.h"
#include "ViewRulesController.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QTextBlock>

namespace {

QString jumpText(LineJumps::Jump jump, const QString &what)
{
    if (jump == LineJumps::Jump::Wrapped)
        return LogCommands::tr("Wrapped");
    if (jump == LineJumps::Jump::None)
        return LogCommands::tr("No %1 in the lines shown").arg(what);
    return {};
}

} // namespace

LogCommands::LogCommands(LogBox *box, const Parts &parts)
    : QObject(box)
    , m_box(box)
    , m_parts(parts)
{
    m_openViewAction = add(tr("Open &Log View"), QKeySequence(Qt::CTRL | Qt::Key_L),
                           [this] { m_box->openLogView(); });
    m_marginAction = add(tr("Show &Arrival Details"), QKeySequence(Qt::CTRL | Qt::Key_D),
                         [this] { m_box->setMarginShown(!m_box->isMarginShown()); });
    m_marginAction->setCheckable(true);
    m_logActions << m_marginAction;
    m_logActions << add(tr("Datagram Deta&ils..."), QKeySequence(Qt::CTRL | Qt::Key_I),
                        [this] { m_box->showDetails(); });
    m_logActions << add(tr("&Find..."), QKeySequence::Find, [this] { m_parts.find->open(); });
    add(tr("Find Next"), QKeySequence(Qt::Key_F3), [this] { m_parts.find->findNext(); });
    add(tr("Find Previous"), QKeySequence(Qt::SHIFT | Qt::Key_F3),
        [this] { m_parts.find->findPrevious(); });
    m_logActions << add(tr("&Save Log..."), QKeySequence(Qt::CTRL | Qt::Key_S), [this] {
        m_box->insertPending();
        m_parts.saver->saveLog();
    });
    m_logActions << add(tr("Save A&rrivals..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                        [this] { m_parts.saver->saveArrivals(); });
    m_clearAction = add(tr("Cl&ear Log"), QKeySequence(), [this] { m_box->clearLog(); });

    m_showOnlyAction = add(tr("Sh&ow Only..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
                           [this] { m_parts.rules->openField(); });
    const QStringList severities = { tr("Emergency"),
                                     tr("Alert or more urgent"),
                                     tr("Critical or more urgent"),
                                     tr("Error or more urgent"),
                                     tr("Warning or more urgent"),
                                     tr("Notice or more urgent"),
                                     tr("Informational or more urgent"),
                                     tr("All") };
    auto *severityGroup = new QActionGroup(this);
    for (int severity = 0; severity < int(severities.size()); ++severity) {
        QAction *action =
            add(severities.at(severity), QKeySequence(Qt::CTRL | (Qt::Key_0 + severity)),
                [this, severity] { m_parts.rules->setSeverity(severity); });
        action->setCheckable(true);
        severityGroup->addAction(action);
        m_severityActions << action;
    }
    m_showAllAction = add(tr("Show All &Lines"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
                          [this] { m_parts.rules->clear(); });
    m_highlightAction = add(tr("&Highlight"), QKeySequence(Qt::CTRL | Qt::Key_H), [this] {
        const QTextCursor selection = m_box->textCursor();
        if (selection.hasSelection()
            && selection.block() == m_box->document()->findBlock(selection.selectionStart()))
            m_parts.highlights->add(selection.selectedText(),
                                    m_box->palette().color(QPalette::Highlight));
    });
    m_highlightActions << m_highlightAction;
    m_highlightActions << add(tr("Remove Highlights"), QKeySequence(),
                              [this] { m_parts.highlights->clear(); });
    m_senderColoursAction = add(tr("Colour by Sender"), QKeySequence(), [this] {
        m_parts.margin->setSenderColours(m_senderColoursAction->isChecked());
        if (m_senderColoursAction->isChecked())
            m_box->setMarginShown(true);
    });
    m_senderColoursAction->setCheckable(true);
    m_highlightActions << m_senderColoursAction;
    m_jumpActions << add(tr("&Next Problem"), QKeySequence(Qt::Key_F8), [this] {
        sayJump(jumpText(m_parts.jumps->toProblem(false), tr("problem")));
    });
    m_jumpActions << add(tr("&Previous Problem"), QKeySequence(Qt::SHIFT | Qt::Key_F8), [this] {
        sayJump(jumpText(m_parts.jumps->toProblem(true), tr("problem")));
    });
    m_alertActions << add(tr("Alert O&n..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
                          [this] { m_parts.alerts->openField(); });
    m_alertActions << add(tr("Alert on E&rrors"), QKeySequence(),
                          [this] { m_parts.alerts->rules().addErrors(); });
    m_markAction = add(tr("&Mark Line"), QKeySequence(Qt::CTRL | Qt::Key_F2), [this] {
        m_parts.jumps->toggleMark();
        m_box->viewport()->update();
        m_parts.margin->update();
    });
    m_jumpActions << add(tr("Next &Mark"), QKeySequence(Qt::Key_F2),
                         [this] { sayJump(jumpText(m_parts.jumps->toMark(false), tr("mark"))); });
    m_jumpActions << add(tr("Previous M&ark"), QKeySequence(Qt::SHIFT | Qt::Key_F2),
                         [this] { sayJump(jumpText(m_parts.jumps->toMark(true), tr("mark"))); });
}

void LogCommands::addToMenu(QMenu *menu, const QTextBlock &line)
{
    // At the top: the larger window is where a user reads what came.
    QAction *first = menu->actions().value(0);
    menu->insertAction(first, m_openViewAction);
    menu->insertSeparator(first);
    menu->addSeparator();
    menu->addActions(m_logActions);
    menu->addSeparator();
    addSenderActions(menu, line);
    // The entries say which rules are on: the menu is where a user looks for why lines are gone.
    const ViewRules &rules = m_parts.rules->rules();
    m_showOnlyAction->setText(
        rules.text().isEmpty()
            ? tr("Sh&ow Only...")
            : tr("Sh&ow Only \u201c%1\u201d...").arg(Rule::elided(rules.text())));
    menu->addAction(m_showOnlyAction);
    // Without a severity rule, the last entry: All.
    m_severityActions.at(rules.severity().value_or(int(m_severityActions.size()) - 1))
        ->setChecked(true);
    menu->addMenu(tr("Show Se&verity"))->addActions(m_severityActions);
    menu->addAction(m_showAllAction);
    menu->addSeparator();
    addAlertActions(menu);
    menu->addSeparator();
    m_highlightAction->setEnabled(m_box->textCursor().hasSelection());
    menu->addActions(m_highlightActions);
    menu->addSeparator();
    menu->addAction(m_markAction);
    // The jumps have their keys; in the menu they would make it taller than many screens.
    QMenu *goTo = menu->addMenu(tr("&Go To"));
    goTo->addActions(m_jumpActions.mid(0, 2));
    goTo->addSeparator();
    goTo->addActions(m_jumpActions.mid(2));
    menu->addSeparator();
    menu->addAction(m_clearAction); // apart, as it cannot be undone
}

void LogCommands::setMarginChecked(bool shown)
{
    m_marginAction->setChecked(shown);
}

QAction *LogCommands::add(const QString &text, const QKeySequence &keys,
                          const std::function<void()> &slot)
{
    auto *action = new QAction(text, this);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(action, &QAction::triggered, this, slot);
    m_box->addAction(action);
    return action;
}

// On a line that arrived: show only, or hide, what came from its sender, or from its address.
void LogCommands::addSenderActions(QMenu *menu, const QTextBlock &line)
{
    const std::optional<qint64> index = m_box->model().lines().of(line);
    const std::optional<ArrivalEntry> entry =
        index ? m_box->model().arrivals().at(*index) : std::nullopt;
    if (!entry)
        return;
    const Arrival arrival = entry->arrival;
    for (const bool withPort : { true, false }) {
        const QString sender = withPort ? arrival.senderText() : arrival.hostText();
        const ViewRules::Sender rule = ViewRules::senderOf(arrival, withPort);
        menu->addAction(tr("Show Only Lines from %1").arg(sender), this,
                        [this, rule] { m_parts.rules->addSender(rule, true); });
        menu->addAction(tr("Hide Lines from %1").arg(sender), this,
                        [this, rule] { m_parts.rules->addSender(rule, false); });
    }
}

void LogCommands::addAlertActions(QMenu *menu)
{
    menu->addActions(m_alertActions);
    AlertController::addRulesTo(menu, m_parts.alerts->rules());
}

void LogCommands::sayJump(const QString &text)
{
    if (!text.isEmpty())
        emit jumpSaid(text);
}
