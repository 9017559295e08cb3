// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGMARGIN_H
#define HARKLINE_LOGMARGIN_H

#include <QTextBlock>
#include <QWidget>

class LineFilter;
class LineJumps;
class LogLines;
class LogModel;

// The margin at the left of the log box, beside the first line of each datagram: its arrival
// time, its sender, a mark in the colour of its syslog severity (and one in its sender's colour
// when asked), and a mark where the system dropped datagrams before it; and the user's marks. It
// asks the box only where the lines in view are, as the line numbers of Qt's Code Editor example
// do; what it shows comes from the log.
class LogMargin : public QWidget
{
    Q_OBJECT

public:
    // Over the left of 'box', beside its 'lines'.
    LogMargin(QWidget *box, const LogLines &lines, const LogModel &model);

    // Where the view rules hide lines: a loss among them marks the next line shown.
    void setFilter(const LineFilter *filter) { m_filter = filter; }
    // Where the marked lines are known.
    void setJumps(const LineJumps *jumps) { m_jumps = jumps; }
    // Gives each sender a mark of its own colour.
    void setSenderColours(bool on);
    // Its width when shown, for the widest sender it has shown so far.
    int preferredWidth() const;
    QSize sizeHint() const override;

    // Colours shared with the text's own marks.
    static QColor severityColor(int severity);
    static const QColor LossColor;

signals:
    // A sender wider than any before needs a wider margin.
    void preferredWidthChanged();
    void lineDoubleClicked(const QTextBlock &line);

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    QFont marginFont() const;

    const LogLines &m_lines;
    const LogModel &m_model;
    const LineFilter *m_filter = nullptr;
    const LineJumps *m_jumps = nullptr;
    bool m_senderColours = false;
    int m_senderWidth = 0; // of the widest sender shown
};

#endif // HARKLINE_LOGMARGIN_H
