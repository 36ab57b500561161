#include "ui/ValueListing.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int kMargin = 2;  // pixels between the frame and the text

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
    m_follow = true;
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
    UpdateScrollBars();
}

CValueListing::~CValueListing() {
    std::lock_guard<std::mutex> lock(m_content->m_lock);
    m_content->m_owner = nullptr;
}

void CValueListing::ApplyContent() {
    bool follow;
    {
        std::lock_guard<std::mutex> lock(m_content->m_lock);
        m_content->m_pending = false;
        m_lineCount = m_content->m_lineStarts.size();
        m_longestLine = m_content->m_longestLine;
        follow = m_content->m_follow;
        m_content->m_follow = false;
    }
    UpdateScrollBars();
    if (follow)
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
}

int CValueListing::VisibleLines() const {
    const int lineHeight = std::max(1, fontMetrics().lineSpacing());
    return std::max(1, (viewport()->height() - kMargin) / lineHeight);
}

void CValueListing::UpdateScrollBars() {
    // Vertically in lines, horizontally in pixels.
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
}

void CValueListing::paintEvent(QPaintEvent*) {
    const QFontMetricsF metrics(font());
    const int lineHeight = std::max(1, fontMetrics().lineSpacing());
    const qreal charWidth = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('0')));
    const size_t firstLine = static_cast<size_t>(verticalScrollBar()->value());
    const size_t lineCount = static_cast<size_t>(VisibleLines()) + 1;  // a part line below
    const int xOffset = horizontalScrollBar()->value();
    const size_t firstColumn =
        static_cast<size_t>(std::max(0.0, std::floor((xOffset - kMargin) / charWidth)));
    const size_t columns = static_cast<size_t>(std::ceil(viewport()->width() / charWidth)) + 2;

    // Copy the visible part of the visible lines under the lock; draw after.
    std::string chars;
    std::vector<size_t> ends;  // end of each copied line in chars
    {
        std::lock_guard<std::mutex> lock(m_content->m_lock);
        const std::string& text = m_content->m_text;
        const std::vector<size_t>& starts = m_content->m_lineStarts;
        m_paintedLength = text.size();
        for (size_t line = firstLine; line < starts.size() && line < firstLine + lineCount;
             ++line) {
            const size_t end = line + 1 < starts.size() ? starts[line + 1] - 1 : text.size();
            const size_t begin = std::min(starts[line] + firstColumn, end);
            chars.append(text, begin, std::min(end - begin, columns));
            ends.push_back(chars.size());
        }
    }

    QPainter painter(viewport());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::Text));
    const qreal x = kMargin + firstColumn * charWidth - xOffset;
    size_t begin = 0;
    for (size_t i = 0; i < ends.size(); ++i) {
        const qreal baseline = kMargin + static_cast<qreal>(i) * lineHeight + metrics.ascent();
        painter.drawText(
            QPointF(x, baseline),
            QString::fromLatin1(chars.data() + begin, static_cast<qsizetype>(ends[i] - begin)));
        begin = ends[i];
    }
}

void CValueListing::resizeEvent(QResizeEvent* event) {
    QScrollBar* vbar = verticalScrollBar();
    const bool atBottom = vbar->value() == vbar->maximum();
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    if (atBottom)
        vbar->setValue(vbar->maximum());
}

void CValueListing::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        // No selection of parts: copying takes the whole listing.
        const std::string text = Text();
        QGuiApplication::clipboard()->setText(
            QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
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
