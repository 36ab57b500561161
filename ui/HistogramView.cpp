#include "ui/HistogramView.h"

#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace {

const QColor kBar(70, 70, 70);
const QColor kMarker(220, 0, 0);

}  // namespace

CHistogramView::CHistogramView(QWidget* parent)
    : QWidget(parent), m_shared(std::make_shared<Shared>()) {
    m_shared->owner = this;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

CHistogramView::~CHistogramView() {
    std::lock_guard<std::mutex> lock(m_shared->lock);
    m_shared->owner = nullptr;
}

void CHistogramView::SetFrame(const CFrameCopy& frame) {
    SetCounts(pixel::ValueHistogram(frame));
}

void CHistogramView::SetCounts(const pixel::Histogram& counts) {
    std::lock_guard<std::mutex> lock(m_shared->lock);
    m_shared->counts = counts;
    if (m_shared->pending || !m_shared->owner)
        return;
    m_shared->pending = true;
    QMetaObject::invokeMethod(m_shared->owner, "ApplyCounts", Qt::QueuedConnection);
}

void CHistogramView::ApplyCounts() {
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        m_counts = m_shared->counts;
        m_shared->pending = false;
    }
    update();
}

void CHistogramView::SetThreshold(int value) {
    if (value < 0 || value > 255)
        value = -1;
    if (value == m_threshold)
        return;
    m_threshold = value;
    update();
}

QRect CHistogramView::BarArea() const {
    return rect().adjusted(1, 1, -1, -1);
}

bool CHistogramView::ValuesAt(int x, int& first, int& last) const {
    const QRect area = BarArea();
    if (area.isEmpty() || x < area.left() || x > area.right())
        return false;
    const int w = area.width();
    const int c = x - area.left();
    if (w >= 256) {
        // Each value over one column or more.
        first = last = c * 256 / w;
    } else {
        // Several values share a column: those with v * w / 256 == c.
        first = (c * 256 + w - 1) / w;
        last = ((c + 1) * 256 + w - 1) / w - 1;
    }
    return true;
}

QString CHistogramView::TipAt(QPoint p) const {
    int first, last;
    if (!BarArea().contains(p) || !ValuesAt(p.x(), first, last))
        return QString();
    uint64_t count = 0;
    for (int v = first; v <= last; ++v)
        count += m_counts[v];
    QString tip = first == last ? tr("值 %1：%2 个像素").arg(first).arg(count)
                                : tr("值 %1–%2：%3 个像素").arg(first).arg(last).arg(count);
    if (m_threshold >= 0) {
        uint64_t above = 0;
        for (int v = m_threshold + 1; v < 256; ++v)
            above += m_counts[v];
        tip += tr("\n高于阈值 %1：%2 个像素").arg(m_threshold).arg(above);
    }
    return tip;
}

bool CHistogramView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = TipAt(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), tip, this);
        }
        return true;
    }
    if (event->type() == QEvent::MouseMove && QToolTip::isVisible()) {
        // A tooltip already up follows the pointer from bar to bar.
        auto* move = static_cast<QMouseEvent*>(event);
        const QString tip = TipAt(move->position().toPoint());
        if (tip.isEmpty())
            QToolTip::hideText();
        else if (tip != QToolTip::text())
            QToolTip::showText(move->globalPosition().toPoint(), tip, this);
    }
    return QWidget::event(event);
}

void CHistogramView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect area = BarArea();
    if (area.isEmpty())
        return;
    const uint64_t tallest = *std::max_element(m_counts.begin(), m_counts.end());
    const int left = std::max(area.left(), event->rect().left());
    const int right = std::min(area.right(), event->rect().right());
    for (int x = left; x <= right; ++x) {
        int first, last;
        if (!ValuesAt(x, first, last))
            continue;
        if (m_threshold >= first && m_threshold <= last) {
            painter.fillRect(QRect(x, area.top(), 1, area.height()), kMarker);
            continue;
        }
        if (tallest == 0)
            continue;
        const uint64_t count =
            *std::max_element(m_counts.begin() + first, m_counts.begin() + last + 1);
        // Rounded to the nearest pixel; any count above 0 shows one at least.
        int h = static_cast<int>((count * area.height() * 2 + tallest) / (tallest * 2));
        if (count > 0)
            h = std::max(h, 1);
        if (h > 0)
            painter.fillRect(QRect(x, area.bottom() - h + 1, 1, h), kBar);
    }
}
