// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_HIGHLIGHTS_H
#define HARKLINE_HIGHLIGHTS_H

#include "Arrival.h"

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QTextEdit>

class LogLines;

// Texts the user asked to see coloured wherever they occur in the log, each in the next colour of
// a small palette of light backgrounds under black text, which read the same on light and dark
// themes; and the colour that marks a sender in the margin.
class Highlights : public QObject
{
    Q_OBJECT

public:
    Highlights(const LogLines &lines, QObject *parent);

    // Colours every occurrence of 'text' (exactly, case and all) in the next colour that does not
    // look like 'selection', the colour of selected text.
    void add(const QString &text, const QColor &selection);
    void clear();
    bool isEmpty() const { return m_texts.isEmpty(); }
    // Where they are in the lines in view.
    QList<QTextEdit::ExtraSelection> inView() const;

    // The same colour for every datagram from one sender, whatever its port.
    static QColor senderColor(const Arrival &arrival);

signals:
    void changed();

private:
    struct Highlight
    {
        QString text;
        QColor color;
    };
    const LogLines &m_lines;
    QList<Highlight> m_texts;
    int m_nextColor = 0;
};

#endif // HARKLINE_HIGHLIGHTS_H
