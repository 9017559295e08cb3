// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_TIMELINE_H
#define HARKLINE_TIMELINE_H

#include <QWidget>

#include <optional>

class TimeCounts;

// The traffic's shape over the rows of the Log View: a bar per stretch of time, stacked by how
// urgent the datagrams were, with the drops in red beneath the axis. The stretch follows the span
// shown, from a second to a day; the wheel zooms around the pointer, a bar's tooltip gives its
// counts and a click goes to its first row. It draws from counts kept per second, never from the
// datagrams themselves.
class Timeline : public QWidget
{
    Q_OBJECT

public:
    explicit Timeline(QWidget *parent = nullptr);

    void setCounts(const TimeCounts *counts);
    // The times of the rows in view, marked on the bars.
    void setRowsInView(qint64 firstNs, qint64 lastNs);

    QSize sizeHint() const override;

signals:
    // The bar starting at 'second' (since the epoch) was clicked.
    void secondClicked(qint64 second);

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

private:
    struct Span
    {
        qint64 from = 0; // seconds, the first included
        qint64 to = 0; // the first not included
    };
    // What the bars cover: all the counts, or what the wheel zoomed to.
    Span span() const;
    // How long one bar lasts, in seconds, for bars at least a few pixels wide.
    qint64 barSeconds(const Span &span) const;
    // The bar under 'x': its first second; nullopt off the bars.
    std::optional<qint64> barAt(int x) const;
    QRect barsArea() const;

    const TimeCounts *m_counts = nullptr;
    std::optional<Span> m_zoomed;
    qint64 m_viewFromNs = 0;
    qint64 m_viewToNs = -1;
};

#endif // HARKLINE_TIMELINE_H
