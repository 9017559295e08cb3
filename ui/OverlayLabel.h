// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_OVERLAYLABEL_H
#define HARKLINE_OVERLAYLABEL_H

#include <QLabel>
#include <QMouseEvent>

// A short notice drawn over the log's text, in the colours of a tooltip; it may be clicked.
class OverlayLabel : public QLabel
{
    Q_OBJECT

public:
    explicit OverlayLabel(QWidget *parent = nullptr)
        : QLabel(parent)
    {
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::ToolTipBase);
        setForegroundRole(QPalette::ToolTipText);
        setFrameShape(QFrame::Box);
        setMargin(1);
        hide();
    }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton) {
            emit clicked();
            event->accept();
        }
    }
};

#endif // HARKLINE_OVERLAYLABEL_H
