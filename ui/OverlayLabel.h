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
    // Between the frame and the text: a notice covers as little of the log as it can.
    static constexpr int Padding = 1;

    explicit OverlayLabel(QWidget *parent = nullptr)
        : QLabel(parent)
    {
        setAutoFillBackground(true);
        setBackgroundRole(QPalette::ToolTipBase);
        setForegroundRole(QPalette::ToolTipText);
        setFrameShape(QFrame::Box);
        setMargin(Padding);
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
    // The click is the notice's: nothing under it sees the button's release either.
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        event->setAccepted(event->button() == Qt::LeftButton);
    }
};

#endif // HARKLINE_OVERLAYLABEL_H
