// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_OVERLAYLABEL_H
#define HARKLINE_OVERLAYLABEL_H

#include <QFontMetricsF>
#include <QLabel>
#include <QMouseEvent>

#include <cmath>

// A short notice in the colours of a tooltip; it may be clicked. A notice longer than the room it
// has is cut at the end, the whole in its tooltip.
class OverlayLabel : public QLabel
{
    Q_OBJECT

public:
    // Between the frame and the text: the strip of notices takes as little of the box as it can.
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

    // Shows 'text', cut to fit in 'width' when longer; 'details' in its tooltip.
    void setFullText(const QString &text, const QString &details = {})
    {
        m_fullText = text;
        m_details = details;
    }
    // The width that shows the whole text.
    int fullWidth() const
    {
        // Rounded up, as the elision measures in fractions of a pixel.
        return int(std::ceil(QFontMetricsF(font()).horizontalAdvance(m_fullText)))
            + 2 * (margin() + frameWidth());
    }
    void fitTo(int width)
    {
        const int room = width - 2 * (margin() + frameWidth());
        const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideRight, room);
        setText(shown);
        setToolTip(shown == m_fullText
                       ? m_details
                       : (m_details.isEmpty() ? m_fullText : m_fullText + '\n' + m_details));
        adjustSize();
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

private:
    QString m_fullText;
    QString m_details;
};

#endif // HARKLINE_OVERLAYLABEL_H
