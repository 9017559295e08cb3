// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace {

// A tight frame around the field, since it covers the log's top lines.
constexpr int Padding = 2;
constexpr int Spacing = 4;

} // namespace

FindBar::FindBar(const QString &name, const QString &placeholder, QWidget *parent)
    : QFrame(parent)
    , m_field(new QLineEdit(this))
    , m_status(new QLabel(this))
{
    setObjectName(name + QStringLiteral("Bar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(Padding, Padding, Padding, Padding);
    layout->setSpacing(Spacing);
    m_field->setObjectName(name + QStringLiteral("Field"));
    m_field->setPlaceholderText(placeholder);
    m_field->setClearButtonEnabled(true);
    m_field->installEventFilter(this);
    m_status->setObjectName(name + QStringLiteral("Status"));
    // A long status (an expression's mistake) has a third of the bar, cut short with the whole
    // in its tooltip: the field keeps the room to correct what it says.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_status->installEventFilter(this);
    m_status->hide();
    layout->addWidget(m_field, /*stretch*/ 2);
    layout->addWidget(m_status, /*stretch*/ 1);
    connect(m_field, &QLineEdit::textChanged, this, &FindBar::needleChanged);
}

QString FindBar::needle() const
{
    return m_field->text();
}

void FindBar::setNeedle(const QString &needle)
{
    m_field->setText(needle);
}

void FindBar::open()
{
    show();
    raise();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindBar::setStatus(const QString &status)
{
    m_fullStatus = status;
    m_status->setVisible(!status.isEmpty());
    fitStatus();
}

void FindBar::fitStatus()
{
    const QString shown =
        m_status->fontMetrics().elidedText(m_fullStatus, Qt::ElideRight, m_status->width());
    m_status->setText(shown);
    m_status->setToolTip(shown == m_fullStatus ? QString() : m_fullStatus);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_status && event->type() == QEvent::Resize)
        fitStatus();
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool shift = key->modifiers() & Qt::ShiftModifier;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F3:
            emit(shift ? previousRequested() : nextRequested());
            return true;
        case Qt::Key_Escape:
            emit closeRequested();
            return true;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}
