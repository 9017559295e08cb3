// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogText.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {

constexpr char16_t CarriageReturnSign = 0x240D; // ␍
// Shown for a typed paragraph separator, which the document would take for a line end.
constexpr char16_t ParagraphSign = 0x00B6; // ¶
// Unicode's noncharacters that a text document uses inside itself.
constexpr char16_t DocumentInternalFirst = 0xFDD0;
constexpr char16_t DocumentInternalLast = 0xFDD1;

// Characters a user may type that the document cannot keep as themselves: it uses them for the
// log's own line ends and signs, or takes them for paragraph breaks.
bool needsStandIn(QChar c)
{
    const char16_t u = c.unicode();
    return u == QChar::LineSeparator || u == QChar::ParagraphSeparator || u == CarriageReturnSign
        || u == DocumentInternalFirst || u == DocumentInternalLast;
}

char16_t standIn(char16_t u)
{
    if (u == QChar::ParagraphSeparator)
        return ParagraphSign;
    if (u == DocumentInternalFirst || u == DocumentInternalLast)
        return QChar::ReplacementCharacter;
    return u;
}

void appendLogText(QString &out, QStringView documentText)
{
    for (const QChar c : documentText) {
        if (c == QChar::ParagraphSeparator)
            out += QLatin1String("\r\n");
        else if (c == QChar::LineSeparator)
            out += u'\n';
        else if (c == CarriageReturnSign)
            out += u'\r';
        else
            out += c;
    }
}

} // namespace

LogText::LogText(QTextDocument *document)
    : m_document(document)
{
    m_typedFormat.setProperty(TypedProperty, true);
}

QString LogText::toDocumentText(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
            result += QChar(QChar::ParagraphSeparator);
            ++i;
        } else if (c == u'\n') {
            result += QChar(QChar::LineSeparator);
        } else if (c == u'\r') {
            result += QChar(CarriageReturnSign);
        } else {
            result += c;
        }
    }
    return result;
}

QTextCharFormat LogText::literalFormat(char16_t standsFor) const
{
    QTextCharFormat format = m_typedFormat;
    format.setProperty(LiteralProperty, int(standsFor));
    return format;
}

void LogText::insertTyped(QTextCursor &cursor, QStringView text)
{
    m_hasTyped = m_hasTyped || !text.isEmpty();
    qsizetype runStart = 0;
    const auto insertRun = [&](qsizetype end) {
        if (end > runStart)
            cursor.insertText(toDocumentText(text.sliced(runStart, end - runStart)), m_typedFormat);
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!needsStandIn(text.at(i)))
            continue;
        insertRun(i);
        const char16_t u = text.at(i).unicode();
        cursor.insertText(QString(QChar(standIn(u))), literalFormat(u));
        m_hasLiterals = true;
        runStart = i + 1;
    }
    insertRun(text.size());
}

QString LogText::text(int from, int to) const
{
    QString result;
    if (!m_hasLiterals) {
        // Only the range: the whole document may hold a hundred million characters.
        QTextCursor range(m_document);
        range.setPosition(from);
        range.setPosition(to, QTextCursor::KeepAnchor);
        appendLogText(result, range.selectedText());
        return result;
    }
    // Fragment by fragment: a character with a literal format stands for another.
    for (QTextBlock block = m_document->findBlock(from); block.isValid() && block.position() < to;
         block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int begin = std::max(from, fragment.position());
            const int end = std::min(to, fragment.position() + fragment.length());
            if (begin >= end)
                continue;
            const QVariant literal = fragment.charFormat().property(LiteralProperty);
            if (literal.isValid())
                result += QString(end - begin, QChar(char16_t(literal.toInt())));
            else
                appendLogText(
                    result,
                    QStringView(fragment.text()).sliced(begin - fragment.position(), end - begin));
        }
        const int separator = block.position() + block.length() - 1;
        if (block.next().isValid() && separator >= from && separator < to)
            result += QLatin1String("\r\n");
    }
    return result;
}

bool LogText::forEachPiece(int step, const std::function<bool(QStringView)> &take) const
{
    const int end = m_document->characterCount() - 1;
    for (int from = 0; from < end;) {
        const QTextBlock next = m_document->findBlock(std::min(from + step, end)).next();
        const int to = next.isValid() ? next.position() : end;
        if (!take(text(from, to)))
            return false;
        from = to;
    }
    return true;
}

bool LogText::isTyped(const QTextFragment &fragment)
{
    return fragment.charFormat().hasProperty(TypedProperty);
}
