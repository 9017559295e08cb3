// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_LOGTEXT_H
#define HARKLINE_LOGTEXT_H

#include <QString>
#include <QStringView>
#include <QTextCharFormat>

#include <functional>

class QTextBlock;
class QTextCursor;
class QTextDocument;
class QTextFragment;

// The log's text as a text document holds it. A document keeps lines, not line ends, so the log's
// own line end, carriage return and line feed, is a paragraph break; a lone line feed is a line
// break inside the paragraph (U+2028); and a lone carriage return the visible sign ␍ (U+240D).
// The few characters a user can type or paste that the document would take for these, or cannot
// hold at all, are kept with a format that says which character they stand for. Reading back
// turns all of it into the log text exactly, whatever the user did.
//
// What arrived and what the user typed are told apart by their format.
class LogText
{
public:
    // Properties of the character formats in the log's document.
    enum Property {
        // On what the user typed, as against what arrived.
        TypedProperty = QTextFormat::UserProperty,
        // On a character that stands for another: the one it stands for.
        LiteralProperty,
        // On received text around a user's edit: the datagram it came from (see LineArrivals).
        ArrivalProperty,
        // On a line's block format: the user marked the line.
        MarkedProperty,
        // On a line's block format: datagrams were dropped before it, among lines the view
        // rules hide.
        HiddenLossProperty,
    };

    explicit LogText(QTextDocument *document);

    // Received text as the document keeps it: it holds only characters up to U+00FF, which need
    // no stand-ins.
    static QString toDocumentText(QStringView text);
    // Inserts what the user typed, pasted, dropped or committed through an input method: every
    // way text enters the log from the user comes here.
    void insertTyped(QTextCursor &cursor, QStringView text);
    // Call after the document was emptied.
    void reset()
    {
        m_hasLiterals = false;
        m_hasTyped = false;
    }
    // Whether anything was typed since the document was last emptied.
    bool hasTyped() const { return m_hasTyped; }

    // The exact log text between two positions of the document.
    QString text(int from, int to) const;
    // Hands the whole document's text to 'take' in pieces of about 'step' characters that end at
    // line ends, so that it is written out without a copy of the whole; false as soon as 'take'
    // returns false.
    bool forEachPiece(int step, const std::function<bool(QStringView)> &take) const;

    static bool isTyped(const QTextFragment &fragment);

private:
    QTextCharFormat literalFormat(char16_t standsFor) const;

    QTextDocument *m_document;
    QTextCharFormat m_typedFormat;
    bool m_hasLiterals = false;
    bool m_hasTyped = false;
};

#endif // HARKLINE_LOGTEXT_H
