// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogMargin.h"

#include "LogBox.h"

#include <QHelpEvent>
#include <QToolTip>

LogMargin::LogMargin(LogBox *box)
    : QWidget(box)
    , m_box(box)
{
    setObjectName(QStringLiteral("logMargin"));
    hide();
}

QSize LogMargin::sizeHint() const
{
    return { m_box->marginWidth(), 0 };
}

void LogMargin::paintEvent(QPaintEvent *event)
{
    m_box->paintMargin(event);
}

bool LogMargin::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = m_box->arrivalTipAt(help->pos().y());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, this);
        return true;
    }
    return QWidget::event(event);
}
