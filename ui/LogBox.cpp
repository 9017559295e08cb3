// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "LogBox.h"

#include "AlertController.h"
#include "AlertField.h"
#include "ArrivalText.h"
#include "ControlBytes.h"
#include "DatagramDetails.h"
#include "FindBar.h"
#include "FindController.h"
#include "HiddenLines.h"
#include "Highlights.h"
#include "LineFilter.h"
#include "LineJumps.h"
#include "LogCommands.h"
#include "LogFeed.h"
#include "LogMargin.h"
#include "LogNotices.h"
#include "LogPainter.h"
#include "LogSaver.h"
#include "LogView.h"
#include "ViewRulesController.h"

#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolTip>

namespace {

// Between the find field and the edges of the text.
constexpr int OverlayGap = 2;

// Keys that only move the caret or the view, or copy: they cannot change the text.
bool leavesTextAlone(const QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy) || event->matches(QKeySequence::SelectAll))
        return true;
    const int key = event->key();
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right
        || key == Qt::Key_PageUp || key == Qt::Key_PageDown || key == Qt::Key_Home
        || key == Qt::Key_End || key == Qt::Key_Shift || key == Qt::Key_Control
        || key == Qt::Key_Alt || key == Qt::Key_Meta || key == Qt::Key_AltGr
        || key == Qt::Key_Escape || (key >= Qt::Key_F1 && key <= Qt::Key_F35);
}

// Whether the key types its text, as Qt's own text boxes decide it: not with Ctrl, which makes it a
// command, and only a character that shows (AltGr, which gives Ctrl+Alt on some systems, types).
bool typesText(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.front();
    if (c.category() == QChar::Other_Format)
        return true;
    if (event->modifiers() == Qt::ControlModifier
        || event->modifiers() == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    return c.isPrint() || c.category() == QChar::Other_PrivateUse
        || (c.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate());
}

} // namespace

LogBox::LogBox(QWidget *parent)
    : QPlainTextEdit(parent)
    , m_hub(document())
    , m_model(m_hub.model())
    , m_feed(new LogFeed(m_model, this))
    , m_margin(new LogMargin(this, *this, m_model))
    , m_notices(new LogNotices(this))
    , m_find(new FindController(this, *this))
    , m_saver(new LogSaver(this, m_model))
    , m_filter(new LineFilter(m_hub, this))
    , m_rules(new ViewRulesController(this, *this, m_filter))
    , m_highlights(new Highlights(*this, this))
    , m_jumps(new LineJumps(*this, m_hub, *m_filter, this))
    , m_alerts(new AlertController(this, m_jumps, m_notices))
    , m_commands(new LogCommands(
          this, { m_find, m_saver, m_rules, m_highlights, m_jumps, m_margin, m_alerts }))
    , m_controlBytes(document(), font())
{
    // A long log must not keep a second copy of itself in the undo history.
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // First in the tab order, so Tab must lead on to the port box rather than type a tab.
    setTabChangesFocus(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Latin-1 text needs no shaping, and shaping a long line costs more than drawing it.
    QFont noShaping = font();
    noShaping.setStyleStrategy(QFont::PreferNoShaping);
    setFont(noShaping);

    connect(m_feed, &LogFeed::aboutToInsert, this, [this] { m_wasFollowing = isFollowing(); });
    connect(m_feed, &LogFeed::inserted, this, [this] {
        const qint64 shown = m_filter->filterNew();
        if (m_wasFollowing)
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        else
            m_unseenLines += shown;
        updateNotices();
        updateExtraSelections();
    });
    m_margin->setFilter(m_filter);
    m_margin->setJumps(m_jumps);
    // Only the line: in a flood, matches come in most turns of the event loop, which otherwise
    // paint only the lines that arrived.
    connect(m_jumps, &LineJumps::arrivalMarked, this, [this](qint64 arrival) {
        for (const VisibleLine &line : visibleLines()) {
            if (m_model.lines().firstLineArrival(line.block) == arrival) {
                viewport()->update(0, line.top, viewport()->width(), line.height);
                m_margin->update(0, line.top, m_margin->width(), line.height);
            }
        }
    });
    connect(m_filter, &LineFilter::changed, this, [this] {
        if (m_wasFollowing || isFollowing())
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
        keepCaretShown();
        updateNotices();
        updateExtraSelections();
        viewport()->update();
        m_margin->update();
    });
    connect(m_rules, &ViewRulesController::openChanged, this, &LogBox::updateNotices);
    connect(m_alerts, &AlertController::openChanged, this, &LogBox::updateNotices);
    connect(m_notices, &LogNotices::showingClicked, m_rules, &ViewRulesController::clear);
    connect(m_highlights, &Highlights::changed, this, &LogBox::updateExtraSelections);
    connect(m_find, &FindController::highlightsChanged, this, &LogBox::updateExtraSelections);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &LogBox::keepCaretShown);
    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &LogBox::updateDetails);
    connect(m_margin, &LogMargin::lineDoubleClicked, this, [this](const QTextBlock &line) {
        setTextCursor(QTextCursor(line));
        showDetails();
    });
    connect(m_saver, &LogSaver::progressChanged, this,
            [this](const QString &text, const QString &details) {
                m_notices->showSaving(text, details);
                layoutOverlays();
            });
    connect(m_saver, &LogSaver::said, this, [this](const QString &text, const QString &details) {
        m_notices->flash(text, details);
        layoutOverlays();
    });
    connect(m_notices, &LogNotices::savingClicked, m_saver, &LogSaver::cancel);
    connect(m_notices, &LogNotices::changed, this, &LogBox::layoutOverlays);
    connect(m_commands, &LogCommands::jumpSaid, this, [this](const QString &text) {
        // Where the find field shows its status, or else for a moment at the top right.
        if (m_find->isOpen())
            m_find->bar()->setStatus(text);
        else
            m_notices->flash(text);
        updateNotices();
    });

    connect(m_find, &FindController::openChanged, this, &LogBox::updateNotices);
    connect(m_notices, &LogNotices::newBelowClicked, this, &LogBox::followTail);
    connect(m_notices, &LogNotices::droppedClicked, this, &LogBox::showFirstUnseenDrop);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this] {
        if (isFollowing())
            m_unseenLines = 0;
        updateNotices();
        m_find->updateHighlights();
    });
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect &rect, int dy) {
        if (dy != 0)
            m_margin->scroll(0, dy);
        else
            m_margin->update(0, rect.y(), m_margin->width(), rect.height());
    });
    // Not while the margin paints.
    connect(m_margin, &LogMargin::preferredWidthChanged, this, &LogBox::layoutOverlays,
            Qt::QueuedConnection);
}

LogBox::~LogBox() = default;

void LogBox::showDetails()
{
    insertPending();
    if (!m_details) {
        m_details = new DatagramDetails(this);
        // Beside the main window, its frame as large as the main window's is around it.
        const QWidget *main = window();
        const QSize frame = main->frameGeometry().size() - main->geometry().size();
        m_details->move(DatagramDetails::placeBeside(main->frameGeometry(),
                                                     m_details->size() + frame,
                                                     main->screen()->availableGeometry())
                            .topLeft());
    }
    m_details->show();
    updateDetails();
    m_details->raise();
    m_details->activateWindow();
    m_details->setFocus(); // the dump, to select and copy from
}

void LogBox::openLogView()
{
    insertPending();
    if (!m_view) {
        m_view = new LogView(m_hub, m_alerts->rules(), this);
    }
    m_view->setPort(quint16(m_port ? m_port() : 0));
    m_view->open(window());
}

bool LogBox::showInLogView(qint64 arrival)
{
    if (!m_view || !m_view->isVisible())
        return false;
    m_view->showArrival(arrival);
    return true;
}

void LogBox::updateDetails()
{
    if (!m_details || !m_details->isVisible())
        return;
    const std::optional<qint64> index = m_model.lines().of(textCursor().block());
    const std::optional<ArrivalEntry> entry = index ? m_model.arrivals().at(*index) : std::nullopt;
    if (entry)
        m_details->showDatagram(*entry, m_model.arrivals().payload(*index));
    else
        m_details->showNone(textCursor().block().length() <= 1
                                ? tr("The caret's line is empty: it holds no datagram.")
                                : tr("The caret's line came in no datagram: it was typed."));
}

// Text

QString LogBox::text() const
{
    QString text;
    QString error;
    const ArrivalSnapshot::Read read = m_model.snapshot().forEachPart(
        [&text](QStringView part) {
            text += part;
            return true;
        },
        &error);
    if (read == ArrivalSnapshot::Read::Failed)
        qWarning("The log text lacks lines: %s", qPrintable(error));
    return text + m_feed->pendingText();
}

void LogBox::setText(const QString &text)
{
    m_feed->clear();
    m_filter->reset();
    m_model.setText(text);
    if (!m_filter->rules().isEmpty())
        m_filter->apply();
    m_find->cancel();
    updateNotices();
}

void LogBox::appendLine(const QString &payload, const Arrival &arrival)
{
    const qint64 index = m_hub.append(payload, arrival);
    m_feed->append(payload, index);
    if (arrival.droppedBefore > 0 && m_firstUnseenDrop < 0)
        m_firstUnseenDrop = index;
}

void LogBox::insertPending()
{
    m_feed->insert(LogFeed::Insert::Everything);
}

void LogBox::setYieldCondition(std::function<bool()> yieldNow)
{
    m_feed->setYieldCondition(std::move(yieldNow));
}

void LogBox::clearLog()
{
    m_feed->clear();
    m_filter->reset();
    m_hub.clear();
    m_droppedSeen = 0;
    m_systemDropsAtClear = m_systemDrops;
    m_unseenLines = 0;
    m_firstUnseenDrop = -1;
    m_find->cancel();
    updateNotices();
}

// Losses

quint64 LogBox::droppedTotal() const
{
    return std::max<quint64>(m_model.arrivals().totalDropped(),
                             m_systemDrops - m_systemDropsAtClear);
}

void LogBox::setSystemDrops(quint32 total)
{
    m_systemDrops = total;
    updateNotices();
}

// The first line of the first datagram after a gap the user has not seen. Drops known only from
// the system's count came after the newest line.
void LogBox::showFirstUnseenDrop()
{
    insertPending();
    QTextCursor at(document());
    QTextBlock line =
        m_firstUnseenDrop >= 0 ? m_model.lines().firstLineFrom(m_firstUnseenDrop) : QTextBlock();
    while (line.isValid() && !line.isVisible()) // the loss is marked on the next line shown
        line = line.next();
    if (line.isValid())
        at.setPosition(line.position());
    else
        at.movePosition(QTextCursor::End);
    setTextCursor(at);
    centerCursor();
    m_droppedSeen = droppedTotal();
    m_firstUnseenDrop = -1;
    updateNotices();
}

// Following, notices

bool LogBox::isFollowing() const
{
    return verticalScrollBar()->value() == verticalScrollBar()->maximum();
}

void LogBox::followTail()
{
    insertPending();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    m_unseenLines = 0;
    updateNotices();
}

void LogBox::updateNotices()
{
    const bool atTop = verticalScrollBar()->value() == verticalScrollBar()->minimum();
    const bool finding = m_find->isOpen();
    m_notices->showEarlier(atTop || finding ? m_model.archive().lineCount() : 0, finding);
    const quint64 dropped = droppedTotal();
    m_notices->showDropped(dropped > m_droppedSeen ? dropped : 0);
    m_notices->showNewBelow(isFollowing() ? 0 : m_unseenLines);
    const ArrivalRecord &arrivals = m_model.arrivals();
    m_notices->showNotKept(
        arrivals.notKept(),
        tr("from %1 on, %2")
            .arg(isoLocalTime(arrivals.firstNotKeptNs()), arrivals.notKeptReason()));
    const QTextBlock last = document()->lastBlock();
    const qint64 lines = document()->blockCount() - (last.length() <= 1 ? 1 : 0);
    m_notices->showShowing(lines - m_filter->hiddenLines(),
                           m_filter->rules().isEmpty() && m_filter->hiddenLines() == 0 ? 0 : lines);
    layoutOverlays();
}

// The open fields take the top of the box, the margin its left and the notices its bottom, all
// beside the text: none hides a line.
void LogBox::layoutOverlays()
{
    const bool following = isFollowing();
    const QRect contents = contentsRect();
    const int right = viewport()->geometry().right();
    // Both fields open share one row, the filter's on the left: the box is small, and two rows of
    // fields would leave it no line of text.
    QList<QWidget *> bars;
    if (m_rules->isOpen())
        bars << m_rules->bar();
    if (m_find->isOpen())
        bars << m_find->bar();
    if (m_alerts->isOpen())
        bars << m_alerts->bar();
    int top = contents.top();
    if (!bars.isEmpty()) {
        const int width = (right - contents.left() - OverlayGap) / int(bars.size()) - OverlayGap;
        int left = contents.left() + OverlayGap;
        for (QWidget *bar : bars) {
            bar->setGeometry(left, top + OverlayGap, width, bar->sizeHint().height());
            left += width + OverlayGap;
        }
        top = bars.first()->geometry().bottom() + OverlayGap;
    }
    const int marginWidth = m_margin->isHidden() ? 0 : m_margin->preferredWidth();
    const int strip = m_notices->stripHeight();
    const QMargins margins(marginWidth, top - contents.top(), 0, strip);
    if (viewportMargins() != margins) {
        setViewportMargins(margins);
        // A strip that comes or goes moves the view's end: the newest line stays in view.
        if (following)
            verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
    m_margin->setGeometry(contents.left(), top, marginWidth, viewport()->height());
    m_notices->layout(QRect(contents.left(), viewport()->geometry().bottom() + 1,
                            right - contents.left() + 1, strip));
}

// Margin

bool LogBox::isMarginShown() const
{
    return m_margin->isVisible();
}

void LogBox::setMarginShown(bool shown)
{
    m_margin->setVisible(shown);
    m_commands->setMarginChecked(shown);
    layoutOverlays();
}

void LogBox::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    layoutOverlays();
}

void LogBox::showCaret(const QTextCursor &caret)
{
    setTextCursor(caret);
    centerCursor();
}

QList<LogLines::VisibleLine> LogBox::visibleLines() const
{
    QList<VisibleLine> lines;
    QTextBlock block = firstVisibleBlock();
    qreal top = blockBoundingGeometry(block).translated(contentOffset()).top();
    const int bottom = viewport()->height();
    for (; block.isValid() && top <= bottom; block = block.next()) {
        const qreal height = blockBoundingRect(block).height();
        if (block.isVisible())
            lines.append({ block, qRound(top), qRound(height) });
        top += height;
    }
    return lines;
}

QTextBlock LogBox::lineAt(int y) const
{
    const QList<VisibleLine> lines = visibleLines();
    const auto at = std::find_if(lines.begin(), lines.end(), [y](const VisibleLine &line) {
        return y >= line.top && y < line.top + line.height;
    });
    return at == lines.end() ? QTextBlock() : at->block;
}

void LogBox::updateExtraSelections()
{
    const QList<QTextEdit::ExtraSelection> selections =
        m_highlights->inView() + m_find->matchesInView();
    if (!selections.isEmpty() || !extraSelections().isEmpty())
        setExtraSelections(selections);
}

bool LogBox::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QString tip = m_model.detailsOf(lineAt(help->pos().y()));
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QPlainTextEdit::viewportEvent(event);
}

void LogBox::paintEvent(QPaintEvent *event)
{
    for (const VisibleLine &line : visibleLines())
        m_controlBytes.giveRoom(line.block);
    QPainter painter(viewport());
    LogPainter::View view;
    view.firstVisible = firstVisibleBlock();
    view.contentOffset = contentOffset();
    view.viewportSize = viewport()->size();
    view.context = getPaintContext();
    view.showCursor = !isReadOnly() || (textInteractionFlags() & Qt::TextSelectableByKeyboard);
    view.cursorWidth = cursorWidth();
    view.font = font();
    // Marked lines are tinted where no margin marks them.
    if (m_margin->isHidden())
        view.tinted = [this](const QTextBlock &line) { return m_jumps->isMarked(line); };
    const bool anyDropped = m_model.arrivals().totalDropped() > 0;
    LogPainter::paint(painter, view, event->rect(), [&](const QTextBlock &block) {
        return anyDropped && m_filter->followsLoss(block);
    });
}

// The user's edits: every way text enters goes through the log's text mapping, and the lines
// around an edit keep their datagrams.

void LogBox::prepareEdit()
{
    const QTextCursor cursor = textCursor();
    m_model.lines().prepareEdit(cursor.selectionStart(), cursor.selectionEnd());
}

void LogBox::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && m_saver->isSaving()) {
        m_saver->cancel();
        return;
    }
    // The user's edits go after whatever arrived before them.
    insertPending();
    if (event->key() == Qt::Key_End && m_unseenLines > 0 && !isFollowing()) {
        followTail();
        moveCursor(QTextCursor::End);
        return;
    }
    if (isReadOnly() || leavesTextAlone(event)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    prepareEdit();
    if (m_filter->hiddenLines() > 0 && HiddenLines::keyWouldJoin(textCursor(), event))
        return;
    if (selectionHidesLines()) {
        // Only the lines shown go; those the rules hide are never touched.
        if (event->matches(QKeySequence::Cut))
            copy();
        removeShownSelection();
        if (event->matches(QKeySequence::Cut) || event->key() == Qt::Key_Backspace
            || event->key() == Qt::Key_Delete)
            return;
    }
    if (typesText(event)) {
        QTextCursor cursor = textCursor();
        cursor.removeSelectedText();
        typeAt(cursor, event->text());
    } else {
        QPlainTextEdit::keyPressEvent(event);
    }
    m_model.keepWithinLimit();
}

void LogBox::inputMethodEvent(QInputMethodEvent *event)
{
    insertPending();
    if (isReadOnly() || (event->commitString().isEmpty() && event->replacementLength() == 0)) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    prepareEdit();
    if (selectionHidesLines())
        removeShownSelection();
    // What the input method commits is typed text; what it is still composing is Qt's to show.
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    if (event->replacementLength() > 0) {
        cursor.setPosition(cursor.position() + event->replacementStart());
        cursor.setPosition(cursor.position() + event->replacementLength(), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    typeAt(cursor, event->commitString());
    QInputMethodEvent composing(event->preeditString(), event->attributes());
    QPlainTextEdit::inputMethodEvent(&composing);
    m_model.keepWithinLimit();
}

// Copying gives exactly the characters of the log text: its line ends as they were, a no-break
// space as a no-break space; of lines the rules hide, nothing.
QMimeData *LogBox::createMimeDataFromSelection() const
{
    const QTextCursor selection = textCursor();
    auto *data = new QMimeData;
    data->setText(selectionHidesLines()
                      ? HiddenLines::shownText(m_model.text(), selection)
                      : m_model.text().text(selection.selectionStart(), selection.selectionEnd()));
    return data;
}

// Pasting and dropping.
void LogBox::insertFromMimeData(const QMimeData *source)
{
    if (isReadOnly() || !source->hasText())
        return;
    insertPending();
    prepareEdit();
    if (selectionHidesLines())
        removeShownSelection();
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    typeAt(cursor, source->text());
    m_model.keepWithinLimit();
}

// Where every way the user's text enters the log ends: keys, an input method, paste and drop.
void LogBox::typeAt(QTextCursor cursor, QStringView text)
{
    m_model.text().insertTyped(cursor, text);
    setTextCursor(cursor);
    ensureCursorVisible();
}

// Dragging text within the box removes it where it was: the lines there keep their datagrams.
void LogBox::dropEvent(QDropEvent *event)
{
    insertPending();
    prepareEdit();
    // Moving lines from among hidden ones would take the hidden ones too: they are copied.
    if (event->dropAction() == Qt::MoveAction && selectionHidesLines())
        event->setDropAction(Qt::CopyAction);
    QPlainTextEdit::dropEvent(event);
}

void LogBox::contextMenuEvent(QContextMenuEvent *event)
{
    insertPending();
    prepareEdit(); // for the menu's Cut, Paste and Delete
    QMenu *menu = createStandardContextMenu(event->pos());
    if (selectionHidesLines()) {
        // Cut and Delete take only the lines shown, as the keys do.
        for (QAction *action : menu->actions()) {
            const QString name = action->objectName();
            if (name != QLatin1String("edit-cut") && name != QLatin1String("edit-delete"))
                continue;
            action->disconnect();
            connect(action, &QAction::triggered, this, [this, cut = name == "edit-cut"] {
                if (cut)
                    copy();
                removeShownSelection();
            });
        }
    }
    m_commands->addToMenu(menu, lineAt(event->pos().y()));
    menu->exec(event->globalPos());
    delete menu;
}

bool LogBox::selectionHidesLines() const
{
    return m_filter->hiddenLines() > 0 && HiddenLines::inSelection(textCursor());
}

void LogBox::removeShownSelection()
{
    setTextCursor(HiddenLines::removeShown(textCursor()));
}

// The caret stays in a line that is shown.
void LogBox::keepCaretShown()
{
    QTextCursor cursor = textCursor();
    if (const std::optional<int> position = HiddenLines::shownPosition(cursor, m_lastCaret)) {
        cursor.setPosition(
            *position, cursor.hasSelection() ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
        setTextCursor(cursor);
        return;
    }
    m_lastCaret = cursor.position();
}
