// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogBox.h"

#include "ArrivalText.h"
#include "FindBar.h"
#include "LogMargin.h"
#include "LogSearch.h"
#include "OverlayLabel.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>
#include <limits>

namespace {

constexpr char16_t CarriageReturnSign = 0x240D; // ␍
// Shown for a pasted paragraph separator, which the box would take for a line end.
constexpr char16_t ParagraphSign = 0x00B6; // ¶

// Marks what the user typed or pasted, as against what arrived.
constexpr int TypedProperty = QTextFormat::UserProperty;
// On a character that stands for another: the one it stands for.
constexpr int LiteralProperty = QTextFormat::UserProperty + 1;

// A text box indexes its text with ints: it fails past 2^31 characters. Lines move out well before.
constexpr qsizetype DefaultDocumentLimit = qsizetype(1) << 30;
// Moved out at most this many characters at a time, so that no move is long.
constexpr qsizetype MoveStep = qsizetype(1) * 1024 * 1024;

// Characters a user may type or paste that the box cannot keep as themselves: it uses them for the
// log's own line ends and signs, or takes them for paragraph breaks.
bool needsStandIn(QChar c)
{
    const char16_t u = c.unicode();
    return u == QChar::LineSeparator || u == QChar::ParagraphSeparator || u == CarriageReturnSign
        || u == 0xFDD0 || u == 0xFDD1;
}

char16_t standIn(char16_t u)
{
    if (u == QChar::ParagraphSeparator)
        return ParagraphSign;
    if (u == 0xFDD0 || u == 0xFDD1)
        return QChar::ReplacementCharacter;
    return u;
}

QColor severityColor(int severity)
{
    switch (severity) {
    case 0:
    case 1:
    case 2:
        return QColor(0xd3, 0x2f, 0x2f); // emergency, alert, critical
    case 3:
        return QColor(0xf4, 0x51, 0x1e); // error
    case 4:
        return QColor(0xf9, 0xa8, 0x25); // warning
    case 5:
        return QColor(0x1e, 0x88, 0xe5); // notice
    case 6:
        return QColor(0x43, 0xa0, 0x47); // informational
    default:
        return QColor(0x9e, 0x9e, 0x9e); // debug
    }
}

const QColor LossColor(0xd3, 0x2f, 0x2f);

// Lines longer than this are drawn only where they are in view.
constexpr int LongLine = 2000;

// The margin: a mark in the colour of the severity, then the time, then the sender.
constexpr int MarginTimeLeft = 6;

// Asks where to save, offering a name made from 'pattern' (a QDateTime format) in the home folder.
QString askSavePath(QWidget *parent, const QString &title, const QString &pattern,
                    const QString &filter)
{
    const QString name = QDir::home().filePath(QDateTime::currentDateTime().toString(pattern));
    return QFileDialog::getSaveFileName(parent, title, name, filter);
}

// Writes with a busy cursor, and says so when it cannot.
void saveTo(QWidget *parent, const QString &title, const QString &path,
            const std::function<bool(QString *)> &write)
{
    QString error;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool written = write(&error);
    QGuiApplication::restoreOverrideCursor();
    if (!written) {
        QMessageBox::warning(parent, title,
                             QObject::tr("Cannot save \"%1\": %2.").arg(path, error));
    }
}

} // namespace

LogBox::LogBox(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_documentLimit(DefaultDocumentLimit)
    , m_margin(new LogMargin(this))
    , m_search(new LogSearch(document(), this))
    , m_earlier(new OverlayLabel(this))
    , m_dropped(new OverlayLabel(this))
    , m_newBelow(new OverlayLabel(this))
{
    // A long log must not keep a second copy of itself in the undo history.
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // First in the tab order, so Tab must lead on to the port box rather than type a tab.
    setTabChangesFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_typedFormat.setProperty(TypedProperty, true);
    QFont noShaping = font();
    noShaping.setStyleStrategy(QFont::PreferNoShaping);
    setFont(noShaping);

    m_insertTimer.setSingleShot(true);
    m_insertTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_insertTimer, &QTimer::timeout, this, [this] { insertPending(Insert::Yielding); });
    connect(document(), &QTextDocument::contentsChange, this, [this](int position, int, int added) {
        if (!m_inserting)
            repairDetails(position, added);
    });

    // Shortcuts while the box (or its find field) has the focus, and the same in its context menu.
    const auto addAction = [this](const QString &text, const QKeySequence &keys, auto slot) {
        auto *action = new QAction(text, this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, slot);
        QWidget::addAction(action);
        return action;
    };
    m_marginAction = addAction(tr("Show &Arrival Details"), QKeySequence(Qt::CTRL | Qt::Key_D),
                               [this] { setMarginShown(!isMarginShown()); });
    m_marginAction->setCheckable(true);
    m_menuActions << m_marginAction;
    m_menuActions << addAction(tr("&Find..."), QKeySequence::Find, [this] { openFind(); });
    addAction(tr("Find Next"), QKeySequence(Qt::Key_F3),
              [this] { findFrom(textCursor().selectionEnd(), false); });
    addAction(tr("Find Previous"), QKeySequence(Qt::SHIFT | Qt::Key_F3),
              [this] { findFrom(textCursor().selectionStart(), true); });
    m_menuActions << addAction(tr("&Save Log..."), QKeySequence(Qt::CTRL | Qt::Key_S),
                               [this] { saveLog(); });
    m_menuActions << addAction(tr("Save A&rrivals as CSV..."),
                               QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                               [this] { saveArrivals(); });
    m_menuActions << addAction(tr("C&lear Log"), QKeySequence(), [this] { clearLog(); });

    connect(m_search, &LogSearch::found, this, [this](int position, int length, bool wrapped) {
        QTextCursor match(document());
        match.setPosition(position);
        match.setPosition(position + length, QTextCursor::KeepAnchor);
        setTextCursor(match);
        centerCursor();
        // Not under the find field, where the view lets it.
        const QRect field = m_findBar->geometry().translated(-viewport()->pos());
        QScrollBar *bar = verticalScrollBar();
        while (cursorRect().intersects(field) && bar->value() > bar->minimum())
            bar->setValue(bar->value() - 1);
        m_findOrigin = position;
        m_findBar->setStatus(wrapped ? tr("Wrapped") : QString());
        updateFindHighlights();
    });
    connect(m_search, &LogSearch::notFound, this,
            [this] { m_findBar->setStatus(tr("Not found")); });

    m_earlier->setObjectName(QStringLiteral("earlierLines"));
    m_dropped->setObjectName(QStringLiteral("droppedDatagrams"));
    m_newBelow->setObjectName(QStringLiteral("newLinesBelow"));
    connect(m_newBelow, &OverlayLabel::clicked, this, &LogBox::followTail);
    connect(m_dropped, &OverlayLabel::clicked, this, [this] {
        // Shows the first line with a loss that the user has not seen yet.
        for (QTextBlock block = document()->lastBlock(); block.isValid();
             block = block.previous()) {
            if (block.userState() >= 0 && block.userState() <= m_firstUnseenDrop) {
                QTextCursor at(block);
                setTextCursor(at);
                centerCursor();
                break;
            }
        }
        m_droppedSeen = droppedTotal();
        m_firstUnseenDrop = -1;
        updateOverlays();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (isFollowing())
            m_unseenLines = 0;
        updateOverlays();
        updateFindHighlights();
    });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy != 0)
            m_margin->scroll(0, dy);
        else
            m_margin->update(0, rect.y(), m_margin->width(), rect.height());
    });
}

LogBox::~LogBox() = default;

// Text

QString LogBox::toDocumentText(QStringView text)
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

QString LogBox::documentText(int from, int to) const
{
    QString result;
    const auto appendMapped = [&result](QStringView part) {
        for (const QChar c : part) {
            if (c == QChar::ParagraphSeparator)
                result += QLatin1String("\r\n");
            else if (c == QChar::LineSeparator)
                result += u'\n';
            else if (c == CarriageReturnSign)
                result += u'\r';
            else
                result += c;
        }
    };
    if (!m_hasLiterals) {
        // Only the range: the whole document may hold a billion characters.
        QTextCursor range(document());
        range.setPosition(from);
        range.setPosition(to, QTextCursor::KeepAnchor);
        appendMapped(range.selectedText());
        return result;
    }
    // Fragment by fragment: a character with a literal format stands for another.
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() < to;
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
                appendMapped(
                    QStringView(fragment.text()).sliced(begin - fragment.position(), end - begin));
        }
        const int separator = block.position() + block.length() - 1;
        if (block.next().isValid() && separator >= from && separator < to)
            result += QLatin1String("\r\n");
    }
    return result;
}

bool LogBox::forEachLogPart(const std::function<bool(QStringView)> &take) const
{
    if (!m_archive.forEachPart(take))
        return false;
    const int end = document()->characterCount() - 1;
    for (int from = 0; from < end;) {
        const QTextBlock next =
            document()->findBlock(int(std::min<qsizetype>(from + MoveStep, end))).next();
        const int to = next.isValid() ? next.position() : end;
        if (!take(documentText(from, to)))
            return false;
        from = to;
    }
    return true;
}

QString LogBox::text() const
{
    QString text;
    forEachLogPart([&text](QStringView part) {
        text += part;
        return true;
    });
    text += QStringView(m_pending).sliced(m_pendingFrom);
    return text;
}

void LogBox::setText(const QString &text)
{
    m_pending.resize(0);
    m_pendingFrom = 0;
    m_pendingBreaks.clear();
    m_pendingBreaksFrom = 0;
    m_insertTimer.stop();
    m_inserting = true;
    setPlainText(QString());
    m_hasLiterals = false;
    QTextCursor cursor(document());
    insertExact(cursor, text);
    m_inserting = false;
}

QTextCharFormat LogBox::literalFormat(char16_t standsFor) const
{
    QTextCharFormat format = m_typedFormat;
    format.setProperty(LiteralProperty, int(standsFor));
    return format;
}

void LogBox::insertExact(QTextCursor &cursor, QStringView text)
{
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

// Arriving lines

void LogBox::appendLine(const QString &payload, const Arrival &arrival)
{
    const qint64 index = m_arrivals.append(payload, arrival);
    const int state = index < std::numeric_limits<int>::max() ? int(index) : -1;
    // The first line after a quiet spell shows at once; while lines keep coming, once a frame.
    if (!m_insertTimer.isActive()) {
        const qint64 sinceInsert = m_sinceInsert.isValid() ? m_sinceInsert.elapsed() : frameMs();
        m_insertTimer.start(int(qMax<qint64>(0, frameMs() - sinceInsert)));
    }
    m_pending += payload;
    m_pending += QLatin1String("\r\n");
    // Each line end closes a line of the document that shows this arrival.
    m_pendingBreaks.insert(m_pendingBreaks.end(),
                           std::size_t(payload.count(QLatin1String("\r\n")) + 1), state);
    if (arrival.droppedBefore > 0 && m_firstUnseenDrop < 0)
        m_firstUnseenDrop = index;
}

int LogBox::frameMs() const
{
    const qreal rate = screen() ? screen()->refreshRate() : 0;
    return rate >= 1 ? qMax(1, qRound(1000 / rate)) : 16;
}

void LogBox::insertPending(Insert how)
{
    if (m_pendingFrom == m_pending.size())
        return;
    const bool following = isFollowing();
    m_sinceInsert.start();
    m_inserting = true;

    // In pieces of whole lines, so that a piece never splits a line end, and so that the reader
    // gets the processor soon when it needs it.
    constexpr qsizetype PieceSize = qsizetype(16) * 1024;
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    qint64 lines = 0;
    while (m_pendingFrom < m_pending.size()) {
        if (how == Insert::Yielding && m_yieldNow && m_yieldNow()) {
            m_insertTimer.start(frameMs());
            break;
        }
        const qsizetype lineEnd =
            m_pending.indexOf(QLatin1String("\r\n"), m_pendingFrom + PieceSize);
        const qsizetype pieceEnd = lineEnd < 0 ? m_pending.size() : lineEnd + 2;
        const QString piece =
            toDocumentText(QStringView(m_pending).sliced(m_pendingFrom, pieceEnd - m_pendingFrom));
        const int firstBlock = document()->blockCount() - 1;
        end.insertText(piece, QTextCharFormat());
        m_pendingFrom = pieceEnd;

        const qsizetype breaks = piece.count(QChar(QChar::ParagraphSeparator));
        QTextBlock block = document()->findBlockByNumber(firstBlock);
        for (qsizetype i = 0; i < breaks; ++i, block = block.next())
            block.setUserState(m_pendingBreaks[m_pendingBreaksFrom++]);
        block.setUserState(-1); // the new last line, empty so far
        lines += breaks;
    }
    if (m_pendingFrom == m_pending.size()) {
        m_pending.resize(0); // keeps its capacity for the next frame's lines
        m_pendingFrom = 0;
        m_pendingBreaks.clear();
        m_pendingBreaksFrom = 0;
    }
    if (document()->characterCount() > m_documentLimit)
        moveOldestOut();
    m_inserting = false;

    if (following)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    else
        m_unseenLines += lines;
    updateOverlays();
    if (isFinding())
        updateFindHighlights();
}

void LogBox::moveOldestOut()
{
    const int target = int(std::min<qsizetype>(
        { document()->characterCount() - m_documentLimit * 3 / 4, MoveStep, m_documentLimit / 4 }));
    const QTextBlock cut = document()->findBlock(target).next();
    if (!cut.isValid())
        return; // one line longer than the limit: nothing sensible to move
    const int savedState = cut.userState();
    m_archive.append(documentText(0, cut.position()), cut.blockNumber());
    QTextCursor oldest(document());
    oldest.setPosition(cut.position(), QTextCursor::KeepAnchor);
    oldest.removeSelectedText();
    document()->firstBlock().setUserState(savedState);
}

// Arrival details

bool LogBox::showsArrival(const QTextBlock &block) const
{
    if (block.userState() < 0)
        return false;
    if (block.length() <= 1)
        return true; // an empty datagram
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        if (!it.fragment().charFormat().hasProperty(TypedProperty))
            return true;
    }
    return false; // the user typed it all
}

std::optional<qint64> LogBox::arrivalOf(const QTextBlock &block) const
{
    if (!showsArrival(block))
        return std::nullopt;
    return block.userState();
}

// A payload holding line ends spans several lines: its details go beside the first.
std::optional<qint64> LogBox::firstLineArrival(const QTextBlock &block) const
{
    const std::optional<qint64> index = arrivalOf(block);
    if (index && block.previous().isValid() && block.previous().userState() == *index)
        return std::nullopt;
    return index;
}

// After the user's edit: a line that only holds what the user typed shows no arrival. When an edit
// split a line so that its received text moved down, the arrival moves with it.
void LogBox::repairDetails(int position, int added)
{
    const QTextBlock last = document()->findBlock(position + added);
    for (QTextBlock block = document()->findBlock(position); block.isValid();
         block = block.next()) {
        if (block.userState() >= 0 && block.length() > 1 && !showsArrival(block)) {
            QTextBlock next = block.next();
            if (next.isValid() && next.userState() < 0) {
                next.setUserState(block.userState());
                if (!showsArrival(next))
                    next.setUserState(-1);
            }
            block.setUserState(-1);
        }
        if (block == last)
            break;
    }
}

QTextBlock LogBox::blockAt(int y) const
{
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid()) {
        const qreal bottom = top + blockBoundingRect(block).height();
        if (block.isVisible() && y >= top && y < bottom)
            return block;
        if (top > y)
            break;
        top = bottom;
        block = block.next();
    }
    return {};
}

QString LogBox::arrivalTipAt(int y) const
{
    const std::optional<qint64> index = arrivalOf(blockAt(y));
    return index ? arrivalDetails(m_arrivals.at(*index)) : QString();
}

bool LogBox::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = arrivalTipAt(help->pos().y());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

bool LogBox::isMarginShown() const
{
    return m_margin->isVisible();
}

void LogBox::setMarginShown(bool shown)
{
    m_margin->setVisible(shown);
    m_marginAction->setChecked(shown);
    updateMarginWidth();
}

QFont LogBox::marginFont() const
{
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    return small;
}

int LogBox::marginWidth() const
{
    if (m_margin->isHidden())
        return 0;
    const QFontMetrics metrics(marginFont());
    const int senderWidth =
        std::max(m_senderWidth, metrics.horizontalAdvance(QStringLiteral("127.0.0.1:65535")));
    return MarginTimeLeft + metrics.horizontalAdvance(QStringLiteral("00:00:00.000 ")) + senderWidth
        + 4;
}

void LogBox::updateMarginWidth()
{
    setViewportMargins(marginWidth(), 0, 0, 0);
    const QRect area = contentsRect();
    m_margin->setGeometry(area.left(), area.top(), marginWidth(), area.height());
    layoutOverlays();
}

void LogBox::paintMargin(QPaintEvent *event)
{
    QPainter painter(m_margin);
    painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(m_margin->width() - 1, event->rect().top(), m_margin->width() - 1,
                     event->rect().bottom());

    painter.setFont(marginFont());
    const QFontMetrics metrics(marginFont());
    const int timeWidth = metrics.horizontalAdvance(QStringLiteral("00:00:00.000 "));
    const int senderLeft = MarginTimeLeft + timeWidth;
    const int senderRoom = m_margin->width() - senderLeft - 4;
    // A sender wider than any before widens the margin, up to half the box.
    int widest = m_senderWidth;
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    while (block.isValid() && top <= event->rect().bottom()) {
        const qreal bottom = top + blockBoundingRect(block).height();
        const std::optional<qint64> index = firstLineArrival(block);
        if (index && bottom >= event->rect().top()) {
            const ArrivalRecord::Entry entry = m_arrivals.at(*index);
            const QRect line(0, int(top), m_margin->width(), fontMetrics().height());
            if (entry.priority) {
                painter.fillRect(line.x(), line.y(), 3, line.height(),
                                 severityColor(entry.priority->severity()));
            }
            if (entry.arrival.droppedBefore > 0) {
                QColor tint = LossColor;
                tint.setAlpha(48);
                painter.fillRect(line, tint);
                painter.fillRect(line.x(), line.y(), line.width(), 2, LossColor);
            }
            painter.setPen(palette().color(QPalette::Text));
            painter.drawText(line.adjusted(MarginTimeLeft, 0, 0, 0),
                             Qt::AlignLeft | Qt::AlignVCenter, marginTime(entry.arrival.timeNs));
            const QString sender = entry.arrival.senderText();
            widest = std::max(widest, metrics.horizontalAdvance(sender));
            painter.drawText(line.adjusted(senderLeft, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                             metrics.elidedText(sender, Qt::ElideMiddle, senderRoom));
        }
        top = bottom;
        block = block.next();
    }
    widest = std::min(widest, width() / 2 - senderLeft);
    if (widest > m_senderWidth) {
        m_senderWidth = widest;
        QTimer::singleShot(0, this, &LogBox::updateMarginWidth);
    }
}

// As QPlainTextEdit paints, but a long line only where it is in view: Qt draws every glyph of a
// line, and a datagram may hold 65,507 characters, of which the view shows a few dozen. Where the
// system dropped datagrams, a line goes across the text, so that the gap shows with the margin
// hidden too.
void LogBox::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    QPointF offset = contentOffset();
    QRect exposed = event->rect();
    const qreal documentWidth = document()->documentLayout()->documentSize().width();
    // The right margin stays clean of full-width selections.
    exposed.setRight(std::min(exposed.right(),
                              int(offset.x() + std::max(qreal(viewport()->width()), documentWidth)
                                  - document()->documentMargin() + cursorWidth())));
    painter.setClipRect(exposed);
    painter.setBrushOrigin(offset);

    const QAbstractTextDocumentLayout::PaintContext context = getPaintContext();
    painter.setPen(context.palette.text().color());
    const bool showCursor =
        !isReadOnly() || (textInteractionFlags() & Qt::TextSelectableByKeyboard);
    const bool anyDropped = m_arrivals.totalDropped() > 0;

    QTextBlock block = firstVisibleBlock();
    while (block.isValid()) {
        const QRectF area = blockBoundingRect(block).translated(offset);
        if (block.isVisible() && area.bottom() >= exposed.top() && area.top() <= exposed.bottom()) {
            QList<QTextLayout::FormatRange> selections;
            const int start = block.position();
            for (const QAbstractTextDocumentLayout::Selection &selection : context.selections) {
                const int from = selection.cursor.selectionStart() - start;
                const int to = selection.cursor.selectionEnd() - start;
                if (from < block.length() && to > 0 && to > from)
                    selections.append({ from, to - from, selection.format });
            }
            QTextLayout *layout = block.layout();
            if (block.length() > LongLine)
                drawInView(&painter, block, offset, selections, exposed);
            else
                layout->draw(&painter, offset, selections, exposed);
            const int cursor = context.cursorPosition - start;
            if (showCursor && cursor >= 0 && cursor < block.length())
                layout->drawCursor(&painter, offset, cursor, cursorWidth());

            const std::optional<qint64> index = anyDropped ? firstLineArrival(block) : std::nullopt;
            if (index && m_arrivals.at(*index).arrival.droppedBefore > 0) {
                painter.save();
                painter.setPen(QPen(LossColor, 1, Qt::DashLine));
                painter.drawLine(QPointF(0, area.top()), QPointF(viewport()->width(), area.top()));
                painter.restore();
            }
        }
        offset.ry() += area.height();
        if (offset.y() > viewport()->height())
            break;
        block = block.next();
    }
}

// Lays out and draws only the characters of the block's lines that are in view, where the whole
// line would have put them.
void LogBox::drawInView(QPainter *painter, const QTextBlock &block, QPointF offset,
                        const QList<QTextLayout::FormatRange> &selections,
                        const QRect &exposed) const
{
    const QTextLayout *layout = block.layout();
    const QString lineText = block.text();
    const QPointF origin = offset + layout->position();
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        if (origin.y() + line.rect().bottom() < exposed.top()
            || origin.y() + line.y() > exposed.bottom())
            continue;
        // A character or two either side, so that partly visible glyphs are drawn whole.
        int from = std::max(line.textStart(), line.xToCursor(exposed.left() - origin.x()) - 2);
        int to = std::min(line.textStart() + line.textLength(),
                          line.xToCursor(exposed.right() - origin.x()) + 2);
        while (to > from && lineText.at(to - 1) == QChar::LineSeparator)
            --to;
        if (to <= from)
            continue;
        QTextLayout part(lineText.mid(from, to - from), font(), viewport());
        QTextOption option = document()->defaultTextOption();
        option.setWrapMode(QTextOption::NoWrap);
        part.setTextOption(option);
        QList<QTextLayout::FormatRange> partSelections;
        for (const QTextLayout::FormatRange &selection : selections) {
            const int begin = std::max(selection.start, from);
            const int end = std::min(selection.start + selection.length, to);
            if (begin < end)
                partSelections.append({ begin - from, end - begin, selection.format });
        }
        part.beginLayout();
        part.createLine().setPosition(QPointF(0, 0));
        part.endLayout();
        part.draw(painter, origin + QPointF(line.cursorToX(from), line.y()), partSelections);
    }
}

// Following, overlays

bool LogBox::isFollowing() const
{
    return verticalScrollBar()->value() == verticalScrollBar()->maximum();
}

void LogBox::followTail()
{
    insertPending(Insert::Everything);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_unseenLines = 0;
    updateOverlays();
}

void LogBox::updateOverlays()
{
    const bool atTop = verticalScrollBar()->value() == verticalScrollBar()->minimum();
    m_earlier->setVisible(!m_archive.isEmpty() && atTop);
    if (m_earlier->isVisible()) {
        m_earlier->setText(
            tr("%1 earlier lines kept aside").arg(countText(quint64(m_archive.lineCount()))));
        m_earlier->setToolTip(
            tr("The log grew too long for the box: its first %1 lines are kept in "
               "memory, and both saves include them.")
                .arg(countText(quint64(m_archive.lineCount()))));
    }
    const quint64 dropped = droppedTotal();
    m_dropped->setVisible(dropped > m_droppedSeen);
    if (m_dropped->isVisible()) {
        m_dropped->setText(tr("%1 dropped").arg(countText(dropped)));
        m_dropped->setToolTip(tr("%1 datagrams dropped by the system since Start. Click to see "
                                 "where.")
                                  .arg(countText(dropped)));
    }
    m_newBelow->setVisible(m_unseenLines > 0 && !isFollowing());
    if (m_newBelow->isVisible()) {
        m_newBelow->setText(m_unseenLines == 1
                                ? tr("1 new line below")
                                : tr("%1 new lines below").arg(countText(quint64(m_unseenLines))));
        m_newBelow->setToolTip(tr("Click, or press End, to follow the newest lines again."));
    }
    layoutOverlays();
}

void LogBox::layoutOverlays()
{
    const QRect area = viewport()->geometry();
    constexpr int Gap = 2;
    int top = area.top() + Gap;
    if (isFinding()) {
        m_findBar->setGeometry(area.left() + Gap, top, area.width() - 2 * Gap,
                               m_findBar->sizeHint().height());
        top = m_findBar->geometry().bottom() + Gap;
    }
    for (OverlayLabel *label : { m_earlier, m_dropped, m_newBelow })
        label->adjustSize();
    m_earlier->move(area.left() + Gap, top);
    m_dropped->move(area.left() + Gap, area.bottom() - m_dropped->height() - Gap);
    m_newBelow->move(area.right() - m_newBelow->width() - Gap,
                     area.bottom() - m_newBelow->height() - Gap);
    if (m_dropped->isVisible() && m_newBelow->isVisible()
        && m_dropped->geometry().intersects(m_newBelow->geometry()))
        m_dropped->move(m_dropped->x(), m_newBelow->y() - m_dropped->height() - Gap);
}

void LogBox::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    updateMarginWidth();
}

// Find

// Made when first asked for: the field's clear button costs the start-up an icon.
FindBar *LogBox::findBar()
{
    if (m_findBar)
        return m_findBar;
    m_findBar = new FindBar(this);
    connect(m_findBar, &FindBar::needleChanged, this, [this](const QString &needle) {
        m_findBar->setStatus({});
        if (needle.isEmpty()) {
            m_search->cancel();
            updateFindHighlights();
            return;
        }
        findFrom(m_findOrigin, false);
    });
    connect(m_findBar, &FindBar::nextRequested, this,
            [this] { findFrom(textCursor().selectionEnd(), false); });
    connect(m_findBar, &FindBar::previousRequested, this,
            [this] { findFrom(textCursor().selectionStart(), true); });
    connect(m_findBar, &FindBar::closeRequested, this, [this] {
        m_search->cancel();
        updateFindHighlights();
        layoutOverlays();
        setFocus(Qt::OtherFocusReason);
    });
    return m_findBar;
}

void LogBox::openFind()
{
    insertPending(Insert::Everything);
    m_findOrigin = textCursor().selectionStart();
    findBar()->open();
    layoutOverlays();
    updateFindHighlights();
}

bool LogBox::isFinding() const
{
    return m_findBar && m_findBar->isVisible();
}

void LogBox::findFrom(int position, bool backward)
{
    const QString needle = findBar()->needle();
    if (needle.isEmpty()) {
        openFind();
        return;
    }
    insertPending(Insert::Everything);
    m_search->find(needle, position, backward);
    QTimer::singleShot(100, this, [this] {
        if (m_search->isSearching())
            m_findBar->setStatus(tr("Searching..."));
    });
}

void LogBox::updateFindHighlights()
{
    QList<QTextEdit::ExtraSelection> highlights;
    const QString needle = isFinding() ? m_findBar->needle() : QString();
    if (!needle.isEmpty()) {
        QTextCharFormat format;
        format.setBackground(QColor(0xff, 0xe0, 0x82));
        const int bottom = viewport()->height();
        QTextBlock block = firstVisibleBlock();
        qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
        for (; block.isValid() && top <= bottom; block = block.next()) {
            for (const int position : LogSearch::matchesIn(block, needle)) {
                QTextEdit::ExtraSelection match;
                match.cursor = QTextCursor(document());
                match.cursor.setPosition(position);
                match.cursor.setPosition(position + int(needle.size()), QTextCursor::KeepAnchor);
                match.format = format;
                highlights << match;
            }
            top += blockBoundingRect(block).height();
        }
    }
    if (!highlights.isEmpty() || !extraSelections().isEmpty())
        setExtraSelections(highlights);
}

// Input

void LogBox::keyPressEvent(QKeyEvent *event)
{
    // The user's edits go after whatever arrived before them.
    insertPending(Insert::Everything);
    if (m_newBelow->isVisible() && (event->key() == Qt::Key_End)) {
        followTail();
        QTextCursor end(document());
        end.movePosition(QTextCursor::End);
        setTextCursor(end);
        return;
    }
    const QString typed = event->text();
    if (!typed.isEmpty() && !isReadOnly()
        && (typed.front().isPrint() || needsStandIn(typed.front()))) {
        QTextCursor cursor = textCursor();
        cursor.removeSelectedText();
        if (std::any_of(typed.cbegin(), typed.cend(), needsStandIn)) {
            insertExact(cursor, typed);
            setTextCursor(cursor);
            ensureCursorVisible();
            return;
        }
        cursor.setCharFormat(m_typedFormat);
        setTextCursor(cursor);
    }
    QPlainTextEdit::keyPressEvent(event);
}

void LogBox::inputMethodEvent(QInputMethodEvent *event)
{
    insertPending(Insert::Everything);
    if (!event->commitString().isEmpty()) {
        QTextCursor cursor = textCursor();
        cursor.setCharFormat(m_typedFormat);
        setTextCursor(cursor);
    }
    QPlainTextEdit::inputMethodEvent(event);
}

// Copying gives exactly the characters of the log text: its line ends as they were, a no-break
// space as a no-break space.
QMimeData *LogBox::createMimeDataFromSelection() const
{
    const QTextCursor selection = textCursor();
    auto *data = new QMimeData;
    data->setText(documentText(selection.selectionStart(), selection.selectionEnd()));
    return data;
}

void LogBox::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly() || !source->hasText())
        return;
    insertPending(Insert::Everything);
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    insertExact(cursor, source->text());
    setTextCursor(cursor);
    ensureCursorVisible();
}

void LogBox::contextMenuEvent(QContextMenuEvent *event)
{
    insertPending(Insert::Everything);
    QMenu *menu = createStandardContextMenu(event->pos());
    menu->addSeparator();
    menu->addActions(m_menuActions.mid(0, m_menuActions.size() - 1));
    menu->addSeparator();
    menu->addAction(m_menuActions.last()); // Clear, apart
    menu->exec(event->globalPos());
    delete menu;
}

// Saving, clearing

bool LogBox::writeLog(const QString &path, bool utf8, QString *error)
{
    insertPending(Insert::Everything);
    QSaveFile file(path);
    const auto write = [&](QStringView text) {
        return file.write(utf8 ? text.toUtf8() : text.toLatin1()) >= 0;
    };
    if (!file.open(QIODevice::WriteOnly) || !forEachLogPart(write) || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

bool LogBox::writeArrivals(const QString &path, QString *error) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !m_arrivals.writeCsv(file) || !file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void LogBox::saveLog()
{
    insertPending(Insert::Everything);
    const QString path =
        askSavePath(this, tr("Save Log"), QStringLiteral("'harkline-'yyyyMMdd-HHmmss'.log'"),
                    tr("Logs (*.log *.txt);;All files (*)"));
    if (path.isEmpty())
        return;

    // The log is saved one byte per character, as the datagrams carried it; a character the user
    // typed that no byte can hold is not changed silently.
    QChar wide;
    const auto findWide = [&wide](QStringView text) {
        const auto at =
            std::find_if(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
        if (at == text.end())
            return true;
        wide = *at;
        return false;
    };
    forEachLogPart(findWide);
    bool utf8 = false;
    if (!wide.isNull()) {
        const QString character = wide.isSurrogate()
            ? QStringLiteral("an emoji or other character")
            : QStringLiteral("\"%1\" (U+%2)")
                  .arg(wide)
                  .arg(QString::number(wide.unicode(), 16).toUpper().rightJustified(4, u'0'));
        QMessageBox question(
            QMessageBox::Question, tr("Save Log"),
            tr("The log holds characters that no single byte can hold, such as %1. "
               "Harkline saves the log one byte per character, as the datagrams "
               "carried it, and cannot save those that way.")
                .arg(character),
            QMessageBox::Cancel, this);
        question.setInformativeText(tr("Save the whole log as UTF-8 instead?"));
        QPushButton *asUtf8 = question.addButton(tr("Save as UTF-8"), QMessageBox::AcceptRole);
        question.setDefaultButton(asUtf8);
        question.exec();
        if (question.clickedButton() != asUtf8)
            return;
        utf8 = true;
    }
    saveTo(this, tr("Save Log"), path, [&](QString *error) { return writeLog(path, utf8, error); });
}

void LogBox::saveArrivals()
{
    const QString path = askSavePath(this, tr("Save Arrivals"),
                                     QStringLiteral("'harkline-arrivals-'yyyyMMdd-HHmmss'.csv'"),
                                     tr("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty())
        saveTo(this, tr("Save Arrivals"), path,
               [&](QString *error) { return writeArrivals(path, error); });
}

quint64 LogBox::droppedTotal() const
{
    return std::max<quint64>(m_arrivals.totalDropped(), m_systemDrops - m_systemDropsAtClear);
}

void LogBox::setSystemDrops(quint32 total)
{
    m_systemDrops = total;
    updateOverlays();
}

void LogBox::clearLog()
{
    setText(QString());
    m_arrivals.clear();
    m_archive.clear();
    m_droppedSeen = 0;
    m_systemDropsAtClear = m_systemDrops;
    m_unseenLines = 0;
    m_firstUnseenDrop = -1;
    m_search->cancel();
    updateOverlays();
    updateFindHighlights();
}
