#include "ui/ValueListing.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSaveFile>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <limits>

#include "capture/CArrayText.h"

namespace {

constexpr int kMargin = 2;  // pixels between the frame and the text
const char kArrayName[] = "tavix_frame";

QString Latin1(const char* chars, size_t count) {
    return QString::fromLatin1(chars, static_cast<qsizetype>(count));
}
QString Latin1(const std::string& text) {
    return Latin1(text.data(), text.size());
}

void ToClipboard(const std::string& text) {
    QGuiApplication::clipboard()->setText(Latin1(text), QClipboard::Clipboard);
}

// The listing's 0/1 values: its leading lines that are complete (ended by a
// line break), of the first line's length and all "0" and "1". A line still
// arriving, or one of another length, ends them.
bool ListedValues(const std::string& text, uint32_t& rows, uint32_t& columns,
                  std::vector<uint8_t>& values) {
    rows = columns = 0;
    values.clear();
    for (size_t begin = 0;;) {
        const size_t end = text.find('\n', begin);
        if (end == std::string::npos || end == begin || end - begin > UINT32_MAX ||
            (rows > 0 && end - begin != columns) || text.find_first_not_of("01", begin) < end)
            break;
        for (size_t i = begin; i < end; ++i)
            values.push_back(static_cast<uint8_t>(text[i] - '0'));
        columns = static_cast<uint32_t>(end - begin);
        ++rows;
        begin = end + 1;
    }
    return rows > 0;
}

// Why a save failed, for the user.
QString SaveFailure(const QSaveFile& file, const QString& path) {
    QString reason;
    if (!QFileInfo(path).absoluteDir().exists())
        reason = QCoreApplication::translate("CValueListing", "文件夹不存在");
    else if (file.error() == QFileDevice::WriteError || file.error() == QFileDevice::ResizeError)
        reason = QCoreApplication::translate("CValueListing", "写入失败，磁盘可能已满");
    else if (file.error() == QFileDevice::RenameError)
        reason = QCoreApplication::translate("CValueListing", "无法替换原有的文件");
    else
        reason =
            QCoreApplication::translate("CValueListing", "无法在这里创建文件，可能没有写入权限");
    const QString detail = file.errorString();
    return detail.isEmpty() ? reason
                            : QCoreApplication::translate("CValueListing", "%1（系统信息：%2）")
                                  .arg(reason, detail);
}

// The platform's copy keys, and Ctrl+Insert everywhere.
bool IsCopyKey(const QKeyEvent* event) {
    return event->matches(QKeySequence::Copy) ||
           (event->key() == Qt::Key_Insert && event->modifiers() == Qt::ControlModifier);
}

}  // namespace

CValueListing::Content::Content()
    : m_lineStarts{0}, m_capacity(std::numeric_limits<size_t>::max()) {}

void CValueListing::Content::SetCapacity(size_t chars) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_capacity = chars;
}

size_t CValueListing::Content::Capacity() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_capacity;
}

void CValueListing::Content::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_text.clear();  // keeps the allocation for the next frame
    m_lineStarts.assign(1, 0);
    m_longestLine = 0;
    ++m_generation;
    RequestRepaint();
}

void CValueListing::Content::Append(char c) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_text.size() >= m_capacity)
        return;
    m_text.push_back(c);
    if (c == '\n')
        m_lineStarts.push_back(m_text.size());
    else
        m_longestLine = std::max(m_longestLine, m_text.size() - m_lineStarts.back());
    RequestRepaint();
}

std::string CValueListing::Content::Text() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_text;
}

void CValueListing::Content::RequestRepaint() {
    // The owner is cleared under m_lock before the box goes, and Qt drops
    // events still queued for a destroyed object, so the request cannot reach
    // a deleted box. Posting by slot name keeps the posted call's data inside
    // Qt.
    if (m_owner && !m_pending.exchange(true))
        QMetaObject::invokeMethod(m_owner, "ApplyContent", Qt::QueuedConnection);
}

CValueListing::CValueListing(QWidget* parent)
    : QAbstractScrollArea(parent), m_content(std::make_shared<Content>()) {
    m_content->m_owner = this;  // no other thread has the content yet
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    m_autoScroll.setInterval(50);
    connect(&m_autoScroll, &QTimer::timeout, this, [this] { OnAutoScroll(); });
    // The place in the text the user scrolled to; range changes (a clear, a
    // new frame growing) do not move it.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_adjustingBars)
            m_viewTop = value;
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_adjustingBars)
            m_viewLeft = value;
    });
    m_saveFolder = QDir::homePath();
    m_chooseSaveFile = [this](const QString& proposed) {
        return QFileDialog::getSaveFileName(this, tr("保存为文本"), proposed,
                                            tr("文本文件 (*.txt);;所有文件 (*)"));
    };
    m_showWarning = [this](const QString& text) {
        QMessageBox::warning(this, QStringLiteral("TavixTool"), text);
    };
    UpdateScrollBars();
}

CValueListing::~CValueListing() {
    std::lock_guard<std::mutex> lock(m_content->m_lock);
    m_content->m_owner = nullptr;
}

void CValueListing::ApplyContent() {
    {
        std::lock_guard<std::mutex> lock(m_content->m_lock);
        m_content->m_pending = false;
        m_lineCount = m_content->m_lineStarts.size();
        m_longestLine = m_content->m_longestLine;
        SyncSelectionLocked();
    }
    // The view stays where the user put it, row 0 at the top unless they
    // scrolled: a frame listed again or anew opens at its first row.
    UpdateScrollBars();
    viewport()->update();
}

int CValueListing::LineHeight() const {
    return std::max(1, fontMetrics().lineSpacing());
}

qreal CValueListing::CharWidth() const {
    return std::max<qreal>(1, QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0')));
}

int CValueListing::VisibleLines() const {
    return std::max(1, (viewport()->height() - kMargin) / LineHeight());
}

void CValueListing::UpdateScrollBars() {
    // Vertically in lines, horizontally in pixels. A range that shrinks moves
    // a bar without the user.
    m_adjustingBars = true;
    const int visible = VisibleLines();
    const size_t maxLines = static_cast<size_t>(std::numeric_limits<int>::max());
    const int lines = static_cast<int>(std::min(m_lineCount, maxLines));
    QScrollBar* vbar = verticalScrollBar();
    vbar->setRange(0, std::max(0, lines - visible));
    vbar->setPageStep(visible);
    vbar->setSingleStep(1);

    const qreal charWidth = QFontMetricsF(font()).horizontalAdvance(QLatin1Char('0'));
    const double textWidth = std::ceil(static_cast<double>(m_longestLine) * charWidth);
    const int width = static_cast<int>(std::min(textWidth + 2 * kMargin, 1e9));
    QScrollBar* hbar = horizontalScrollBar();
    hbar->setRange(0, std::max(0, width - viewport()->width()));
    hbar->setPageStep(std::max(1, viewport()->width()));
    hbar->setSingleStep(std::max(1, static_cast<int>(std::lround(charWidth))));

    // Back to the user's place as far as the text now reaches.
    vbar->setValue(m_viewTop);
    hbar->setValue(m_viewLeft);
    m_adjustingBars = false;
}

void CValueListing::paintEvent(QPaintEvent*) {
    const QFontMetricsF metrics(font());
    const int lineHeight = LineHeight();
    const qreal charWidth = CharWidth();
    const size_t firstLine = static_cast<size_t>(verticalScrollBar()->value());
    const size_t lineCount = static_cast<size_t>(VisibleLines()) + 1;  // a part line below
    const int xOffset = horizontalScrollBar()->value();
    const size_t firstColumn =
        static_cast<size_t>(std::max(0.0, std::floor((xOffset - kMargin) / charWidth)));
    const size_t columns = static_cast<size_t>(std::ceil(viewport()->width() / charWidth)) + 2;

    // Copy the visible part of the visible lines under the lock; draw after.
    struct Shown {
        size_t end;                  // end of the line's characters in chars
        size_t selBegin, selEnd;     // its selected characters, from its first copied one
        size_t length;               // the whole line's length
        bool breakSelected = false;  // the selection goes on past the line's end
    };
    std::string chars;
    std::vector<Shown> shown;
    size_t caretLine = std::numeric_limits<size_t>::max(), caretColumn = 0;
    {
        std::lock_guard<std::mutex> lock(m_content->m_lock);
        SyncSelectionLocked();
        const std::string& text = m_content->m_text;
        const std::vector<size_t>& starts = m_content->m_lineStarts;
        m_paintedLength = text.size();
        const size_t selFirst = std::min({m_anchor, m_caret, text.size()});
        const size_t selLast = std::min(std::max(m_anchor, m_caret), text.size());
        for (size_t line = firstLine; line < starts.size() && line < firstLine + lineCount;
             ++line) {
            const size_t end = line + 1 < starts.size() ? starts[line + 1] - 1 : text.size();
            const size_t begin = std::min(starts[line] + firstColumn, end);
            const size_t count = std::min(end - begin, columns);
            chars.append(text, begin, count);
            Shown s;
            s.end = chars.size();
            s.selBegin = std::clamp(selFirst, begin, begin + count) - begin;
            s.selEnd = std::clamp(selLast, begin, begin + count) - begin;
            s.length = end - starts[line];
            s.breakSelected = line + 1 < starts.size() && selFirst <= end && end < selLast;
            shown.push_back(s);
            if (m_caretPlaced && m_caret >= starts[line] && m_caret <= end) {
                caretLine = shown.size() - 1;
                caretColumn = m_caret - starts[line];
            }
        }
    }

    QPainter painter(viewport());
    painter.setFont(font());
    const QColor textColour = palette().color(QPalette::Text);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor highlightedText = palette().color(QPalette::HighlightedText);
    const qreal left = kMargin - static_cast<qreal>(xOffset);  // x of column 0
    const qreal x = left + firstColumn * charWidth;
    size_t begin = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        const Shown& s = shown[i];
        const qreal top = kMargin + static_cast<qreal>(i) * lineHeight;
        const qreal baseline = top + metrics.ascent();
        painter.setPen(textColour);
        painter.drawText(QPointF(x, baseline), Latin1(chars.data() + begin, s.end - begin));
        if (s.selEnd > s.selBegin) {
            const qreal from = x + s.selBegin * charWidth;
            painter.fillRect(QRectF(from, top, (s.selEnd - s.selBegin) * charWidth, lineHeight),
                             highlight);
            painter.setPen(highlightedText);
            painter.drawText(QPointF(from, baseline),
                             Latin1(chars.data() + begin + s.selBegin, s.selEnd - s.selBegin));
        }
        if (s.breakSelected)  // a selected line break shows as a selected blank
            painter.fillRect(QRectF(left + s.length * charWidth, top, charWidth / 2, lineHeight),
                             highlight);
        begin = s.end;
    }
    if (caretLine < shown.size() && hasFocus()) {
        const qreal caretX = std::round(left + caretColumn * charWidth);
        const qreal top = kMargin + static_cast<qreal>(caretLine) * lineHeight;
        painter.setPen(textColour);
        painter.drawLine(QPointF(caretX, top), QPointF(caretX, top + lineHeight - 1));
    }
}

void CValueListing::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

bool CValueListing::event(QEvent* event) {
    // The edit keys belong to the listing while it has the focus, before any
    // shortcut of the window.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        Move move;
        if (IsCopyKey(key) || key->matches(QKeySequence::SelectAll) || SelectionMove(key, move)) {
            key->accept();
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool CValueListing::SelectionMove(const QKeyEvent* event, Move& move) {
    static const std::pair<QKeySequence::StandardKey, Move> kMoves[] = {
        {QKeySequence::SelectNextChar, Move::Right},
        {QKeySequence::SelectPreviousChar, Move::Left},
        {QKeySequence::SelectNextLine, Move::Down},
        {QKeySequence::SelectPreviousLine, Move::Up},
        {QKeySequence::SelectStartOfLine, Move::LineStart},
        {QKeySequence::SelectEndOfLine, Move::LineEnd},
        {QKeySequence::SelectNextPage, Move::PageDown},
        {QKeySequence::SelectPreviousPage, Move::PageUp},
        {QKeySequence::SelectStartOfDocument, Move::Start},
        {QKeySequence::SelectEndOfDocument, Move::End},
    };
    for (const auto& [keys, to] : kMoves) {
        if (event->matches(keys)) {
            move = to;
            return true;
        }
    }
    return false;
}

void CValueListing::keyPressEvent(QKeyEvent* event) {
    Move move;
    if (SelectionMove(event, move)) {
        ExtendSelection(move);
        return;
    }
    if (IsCopyKey(event)) {
        // Without a selection, the whole listing, as the listing always did.
        if (HasSelection())
            Copy();
        else
            CopyAll();
    } else if (event->matches(QKeySequence::SelectAll)) {
        SelectAll();
    } else if (event->matches(QKeySequence::MoveToStartOfDocument)) {
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
    } else if (event->matches(QKeySequence::MoveToEndOfDocument)) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void CValueListing::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        UpdateScrollBars();
        viewport()->update();
    }
}

void CValueListing::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();  // the caret
}

void CValueListing::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

// ---------------------------------------------------------------------------
// Selection

void CValueListing::SyncSelectionLocked() {
    if (m_generation == m_content->m_generation)
        return;
    m_generation = m_content->m_generation;
    m_anchor = m_caret = 0;
    m_caretPlaced = false;
}

bool CValueListing::HasSelection() const {
    std::lock_guard<std::mutex> lock(m_content->m_lock);
    return m_generation == m_content->m_generation &&
           std::min(m_anchor, m_content->m_text.size()) !=
               std::min(m_caret, m_content->m_text.size());
}

std::string CValueListing::SelectedText() const {
    std::lock_guard<std::mutex> lock(m_content->m_lock);
    const std::string& text = m_content->m_text;
    if (m_generation != m_content->m_generation)
        return std::string();
    const size_t first = std::min({m_anchor, m_caret, text.size()});
    const size_t last = std::min(std::max(m_anchor, m_caret), text.size());
    return text.substr(first, last - first);
}

void CValueListing::SelectAll() {
    {
        std::lock_guard<std::mutex> lock(m_content->m_lock);
        SyncSelectionLocked();
        m_anchor = 0;
        m_caret = m_content->m_text.size();
        m_caretPlaced = true;
    }
    SelectionChanged();
}

void CValueListing::Copy() const {
    if (HasSelection())
        ToClipboard(SelectedText());
}

void CValueListing::CopyAll() const {
    ToClipboard(Text());
}

void CValueListing::SelectionChanged() {
    viewport()->update();
    if (!m_dragging)
        PublishSelection();
}

void CValueListing::PublishSelection() const {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard->supportsSelection() && HasSelection())
        clipboard->setText(Latin1(SelectedText()), QClipboard::Selection);
}

size_t CValueListing::OffsetAtLocked(const QPoint& point) const {
    const std::vector<size_t>& starts = m_content->m_lineStarts;
    const double row = std::floor(static_cast<double>(point.y() - kMargin) / LineHeight());
    const double line =
        std::clamp(verticalScrollBar()->value() + row, 0.0, static_cast<double>(starts.size() - 1));
    const size_t index = static_cast<size_t>(line);
    const size_t end = index + 1 < starts.size() ? starts[index + 1] - 1 : m_content->m_text.size();
    const double column =
        std::round((point.x() - kMargin + horizontalScrollBar()->value()) / CharWidth());
    return starts[index] +
           static_cast<size_t>(std::clamp(column, 0.0, static_cast<double>(end - starts[index])));
}

void CValueListing::ExtendSelectionTo(const QPoint& point) {
    {
        std::lock_guard<std::mutex> lock(m_content->m_lock);
        SyncSelectionLocked();
        if (!m_caretPlaced)
            m_anchor = OffsetAtLocked(point);
        m_caret = OffsetAtLocked(point);
        m_caretPlaced = true;
    }
    SelectionChanged();
}

void CValueListing::ExtendSelection(Move move) {
    {
        std::lock_guard<std::mutex> lock(m_content->m_lock);
        SyncSelectionLocked();
        const std::string& text = m_content->m_text;
        const std::vector<size_t>& starts = m_content->m_lineStarts;
        if (!m_caretPlaced) {  // from the start of the top line in view
            const size_t top = std::min<size_t>(verticalScrollBar()->value(), starts.size() - 1);
            m_anchor = m_caret = starts[top];
            m_caretPlaced = true;
        }
        const size_t caret = std::min(m_caret, text.size());
        const size_t line = static_cast<size_t>(
            std::upper_bound(starts.begin(), starts.end(), caret) - starts.begin() - 1);
        const size_t column = caret - starts[line];
        const size_t last = starts.size() - 1;
        // The same column, or the line's end, on another line.
        auto onLine = [&](size_t to) {
            const size_t end = to < last ? starts[to + 1] - 1 : text.size();
            return std::min(starts[to] + column, end);
        };
        const size_t page = static_cast<size_t>(VisibleLines());
        switch (move) {
            case Move::Left:
                m_caret = caret > 0 ? caret - 1 : 0;
                break;
            case Move::Right:
                m_caret = std::min(caret + 1, text.size());
                break;
            case Move::Up:
                m_caret = line > 0 ? onLine(line - 1) : 0;
                break;
            case Move::Down:
                m_caret = line < last ? onLine(line + 1) : text.size();
                break;
            case Move::PageUp:
                m_caret = line > 0 ? onLine(line > page ? line - page : 0) : 0;
                break;
            case Move::PageDown:
                m_caret = line < last ? onLine(std::min(line + page, last)) : text.size();
                break;
            case Move::LineStart:
                m_caret = starts[line];
                break;
            case Move::LineEnd:
                m_caret = line < last ? starts[line + 1] - 1 : text.size();
                break;
            case Move::Start:
                m_caret = 0;
                break;
            case Move::End:
                m_caret = text.size();
                break;
        }
    }
    ScrollToCaret();
    SelectionChanged();
}

void CValueListing::ScrollToCaret() {
    size_t line, column;
    {
        std::lock_guard<std::mutex> lock(m_content->m_lock);
        const std::vector<size_t>& starts = m_content->m_lineStarts;
        const size_t caret = std::min(m_caret, m_content->m_text.size());
        line = static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), caret) -
                                   starts.begin() - 1);
        column = caret - starts[line];
    }
    // The caret's line may be newer than the scroll bars.
    m_lineCount = std::max(m_lineCount, line + 1);
    UpdateScrollBars();
    QScrollBar* vbar = verticalScrollBar();
    const int row = static_cast<int>(std::min<size_t>(line, std::numeric_limits<int>::max()));
    if (row < vbar->value())
        vbar->setValue(row);
    else if (row >= vbar->value() + VisibleLines())
        vbar->setValue(row - VisibleLines() + 1);
    QScrollBar* hbar = horizontalScrollBar();
    const double x = kMargin + static_cast<double>(column) * CharWidth();
    const int width = viewport()->width();
    if (x - kMargin < hbar->value())
        hbar->setValue(static_cast<int>(std::min(x - kMargin, 1e9)));
    else if (x + kMargin > hbar->value() + width)
        hbar->setValue(static_cast<int>(std::min(std::ceil(x + kMargin - width), 1e9)));
}

void CValueListing::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint point = event->position().toPoint();
    {
        std::lock_guard<std::mutex> lock(m_content->m_lock);
        SyncSelectionLocked();
        const size_t at = OffsetAtLocked(point);
        if (!(event->modifiers() & Qt::ShiftModifier) || !m_caretPlaced)
            m_anchor = at;
        m_caret = at;
        m_caretPlaced = true;
    }
    m_dragging = true;
    m_dragPoint = point;
    SelectionChanged();
}

void CValueListing::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    m_dragPoint = event->position().toPoint();
    ExtendSelectionTo(m_dragPoint);
    if (viewport()->rect().contains(m_dragPoint))
        m_autoScroll.stop();
    else if (!m_autoScroll.isActive())
        m_autoScroll.start();
}

void CValueListing::OnAutoScroll() {
    if (!m_dragging) {
        m_autoScroll.stop();
        return;
    }
    const QRect view = viewport()->rect();
    if (m_dragPoint.y() < view.top())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (m_dragPoint.y() > view.bottom())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (m_dragPoint.x() < view.left())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (m_dragPoint.x() > view.right())
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    ExtendSelectionTo(m_dragPoint);
}

void CValueListing::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    m_autoScroll.stop();
    PublishSelection();
}

void CValueListing::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    // A line is the listing's word: the double-click selects it.
    {
        std::lock_guard<std::mutex> lock(m_content->m_lock);
        SyncSelectionLocked();
        const std::vector<size_t>& starts = m_content->m_lineStarts;
        const size_t at = OffsetAtLocked(event->position().toPoint());
        const size_t line = static_cast<size_t>(std::upper_bound(starts.begin(), starts.end(), at) -
                                                starts.begin() - 1);
        m_anchor = starts[line];
        m_caret = line + 1 < starts.size() ? starts[line + 1] - 1 : m_content->m_text.size();
        m_caretPlaced = true;
    }
    m_dragging = false;
    m_autoScroll.stop();
    SelectionChanged();
}

// ---------------------------------------------------------------------------
// Context menu

void CValueListing::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = CreateContextMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

QMenu* CValueListing::CreateContextMenu(QWidget* parent) {
    const std::string text = Text();
    auto* menu = new QMenu(parent);
    auto add = [this](QMenu* to, const QString& label, bool enabled, auto handler) {
        QAction* action = to->addAction(label);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QAction* copy = add(menu, tr("复制"), HasSelection(), [this] { Copy(); });
    copy->setShortcut(QKeySequence::Copy);  // shown; the key itself is the listing's
    copy->setShortcutContext(Qt::WidgetShortcut);
    add(menu, tr("全部复制"), !text.empty(), [this] { CopyAll(); });
    menu->addSeparator();
    add(menu, tr("保存为文本…"), !text.empty(), [this] { SaveText(); });
    QMenu* arrays = menu->addMenu(tr("复制为 C 数组"));
    uint32_t rows, columns;
    std::vector<uint8_t> values;
    add(arrays, tr("二值化值"), ListedValues(text, rows, columns, values),
        [this] { CopyListedArray(); });
    add(arrays, tr("原始像素值"), RawValues(rows, columns, values), [this] { CopyRawArray(); });
    return menu;
}

bool CValueListing::RawValues(uint32_t& rows, uint32_t& columns,
                              std::vector<uint8_t>& values) const {
    rows = columns = 0;
    values.clear();
    return m_rawValues && m_rawValues(rows, columns, values) && rows > 0 && columns > 0 &&
           values.size() == static_cast<uint64_t>(rows) * columns;
}

void CValueListing::CopyListedArray() const {
    uint32_t rows, columns;
    std::vector<uint8_t> values;
    if (ListedValues(Text(), rows, columns, values))
        ToClipboard(CArrayText(kArrayName, rows, columns, values.data()));
}

void CValueListing::CopyRawArray() const {
    uint32_t rows, columns;
    std::vector<uint8_t> values;
    if (RawValues(rows, columns, values))
        ToClipboard(CArrayText(kArrayName, rows, columns, values.data()));
}

void CValueListing::SaveText() {
    const QString name =
        QStringLiteral("listing-%1.txt")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = m_chooseSaveFile(QDir(m_saveFolder).filePath(name));
    if (path.isEmpty())
        return;
    m_saveFolder = QFileInfo(path).absolutePath();
    const std::string text = Text();
    // QSaveFile writes beside the file and renames: the file appears whole
    // or not at all.
    QSaveFile file(path);
    bool saved = file.open(QIODevice::WriteOnly);
    if (saved) {
        const qint64 size = static_cast<qint64>(text.size());
        saved = file.write(text.data(), size) == size;
        if (saved)
            saved = file.commit();
        else
            file.cancelWriting();
    }
    if (!saved)
        m_showWarning(
            tr("无法保存文件 %1：%2").arg(QDir::toNativeSeparators(path), SaveFailure(file, path)));
}
