// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGCOMMANDS_H
#define HARKLINE_LOGCOMMANDS_H

#include <QList>
#include <QObject>

#include <functional>

class AlertController;
class FindController;
class Highlights;
class LineJumps;
class LogBox;
class LogMargin;
class LogSaver;
class QAction;
class QKeySequence;
class QMenu;
class QTextBlock;
class ViewRulesController;

// The log box's commands: shortcuts that work while the box or a field of it has the focus, and
// the same commands in its context menu, beside the standard editing entries.
class LogCommands : public QObject
{
    Q_OBJECT

public:
    struct Parts
    {
        FindController *find;
        LogSaver *saver;
        ViewRulesController *rules;
        Highlights *highlights;
        LineJumps *jumps;
        LogMargin *margin;
        AlertController *alerts;
    };
    LogCommands(LogBox *box, const Parts &parts);

    // Adds the commands to the box's context menu, opened over 'line'.
    void addToMenu(QMenu *menu, const QTextBlock &line);
    void setMarginChecked(bool shown);

signals:
    // A jump that went round the end, or found nothing to go to: what to tell the user.
    void jumpSaid(const QString &text);

private:
    QAction *add(const QString &text, const QKeySequence &keys, const std::function<void()> &slot);
    void addSenderActions(QMenu *menu, const QTextBlock &line);
    void addAlertActions(QMenu *menu);
    void sayJump(const QString &text);

    LogBox *m_box;
    Parts m_parts;
    QAction *m_openViewAction = nullptr;
    QAction *m_marginAction = nullptr;
    QAction *m_senderColoursAction = nullptr;
    QAction *m_highlightAction = nullptr;
    QList<QAction *> m_logActions;
    QList<QAction *> m_severityActions;
    QAction *m_showOnlyAction = nullptr;
    QAction *m_showAllAction = nullptr;
    QList<QAction *> m_highlightActions;
    QAction *m_markAction = nullptr;
    QList<QAction *> m_alertActions;
    QList<QAction *> m_jumpActions; // to problems, then to marks
    QAction *m_clearAction = nullptr;
};

#endif // HARKLINE_LOGCOMMANDS_H
