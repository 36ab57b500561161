#include "ui/PictureView.h"

#include <QChildEvent>
#include <QEnterEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <algorithm>
#include <cstdint>

namespace {

// The zoom factors a wheel step or a key goes through.
constexpr int kZoomSteps[] = {1, 2, 3, 4, 6, 8, 12, 16};

int NextZoom(int zoom, int direction) {
    if (direction > 0) {
        for (int z : kZoomSteps)
            if (z > zoom)
                return z;
        return CPictureView::kMaxZoom;
    }
    int previous = 1;
    for (int z : kZoomSteps) {
        if (z >= zoom)
            return previous;
        previous = z;
    }
    return previous;
}

// How far the picture's values stay away from the pointer.
constexpr QPoint kProbeOffset(14, 18);

}  // namespace

CPictureView::CPictureView(CPictureSurface* surface, QWidget* parent)
    : QWidget(parent), m_shared(std::make_shared<Shared>()) {
    m_shared->owner = this;                 // no listener has the state yet
    setAttribute(Qt::WA_OpaquePaintEvent);  // paintEvent covers every pixel
    setMouseTracking(true);
    m_probeRefresh.setSingleShot(true);
    m_probeRefresh.setInterval(100);
    connect(&m_probeRefresh, &QTimer::timeout, this, [this] {
        m_frameStale = true;
        if (m_hovering)
            Inspect(m_hoverAt);
    });
    m_updateTimer.setSingleShot(true);
    connect(&m_updateTimer, &QTimer::timeout, this, &CPictureView::ApplyDirty);
    SetSurface(surface);
}

CPictureView::~CPictureView() {
    if (m_surface)
        m_surface->SetListener({});
    // A listener call already under way keeps the state alive and now finds
    // no owner; a request already queued is dropped by Qt with the object.
    std::lock_guard<std::mutex> lock(m_shared->lock);
    m_shared->owner = nullptr;
}

void CPictureView::SetSurface(CPictureSurface* surface) {
    if (surface == m_surface)
        return;
    if (m_surface)
        m_surface->SetListener({});
    m_surface = surface;
    if (m_surface) {
        std::shared_ptr<Shared> shared = m_shared;
        m_surface->SetListener(
            [shared](const CPictureSurface::Rect& rect) { OnChanged(*shared, rect); });
    }
    m_frameStale = true;
    ClampPan();
    updateGeometry();
    update();
}

void CPictureView::OnChanged(Shared& shared, const CPictureSurface::Rect& rect) {
    // On the drawing thread: gather, and post only when nothing is on its way.
    std::lock_guard<std::mutex> lock(shared.lock);
    shared.dirty |= QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    if (shared.pending || !shared.owner)
        return;
    shared.pending = true;
    // By slot name, so the posted call's data stays inside Qt.
    QMetaObject::invokeMethod(shared.owner, "ApplyDirty", Qt::QueuedConnection);
}

void CPictureView::ApplyDirty() {
    // At most one repaint per refresh of the screen: what changes meanwhile
    // is gathered (the listener posts nothing while this one is pending).
    const double hz = screen() != nullptr ? screen()->refreshRate() : 60.0;
    const qint64 interval = static_cast<qint64>(1000.0 / (hz >= 1.0 ? hz : 60.0));
    if (m_sinceUpdate.isValid() && m_sinceUpdate.elapsed() < interval) {
        if (!m_updateTimer.isActive())
            m_updateTimer.start(static_cast<int>(interval - m_sinceUpdate.elapsed()));
        return;
    }
    m_sinceUpdate.start();
    QRect dirty;
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        dirty = m_shared->dirty;
        m_shared->dirty = QRect();
        m_shared->pending = false;
    }
    if (!m_surface)
        return;
    // A changed picture may come with a new frame: the values under a
    // resting pointer follow shortly, once the pass has kept the frame.
    m_frameStale = true;
    if (m_hovering && !m_probeRefresh.isActive())
        m_probeRefresh.start();
    // A new size uncovers or covers frame and background too.
    if (SurfaceSize() != m_paintedSize) {
        ClampPan();
        update();
    } else if (!dirty.isEmpty()) {
        update(QRect(dirty.topLeft() * m_zoom - m_pan, dirty.size() * m_zoom) & rect());
    }
}

QSize CPictureView::SurfaceSize() const {
    return m_surface ? QSize(m_surface->Width(), m_surface->Height()) : QSize();
}

QSize CPictureView::sizeHint() const {
    if (!m_surface)
        return QWidget::sizeHint();
    return SurfaceSize();
}

void CPictureView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Dark));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (!m_surface) {
        m_paintedSize = QSize();
        return;
    }
    const int z = m_zoom;
    const QPoint pan = m_pan;
    m_surface->Read([&](const uint32_t* pixels, int width, int height) {
        m_paintedSize = QSize(width, height);
        // The surface pixels the exposed part shows, whole ones at its edges.
        const QRect exposed = event->rect();
        const int left = std::max(0, (exposed.left() + pan.x()) / z);
        const int top = std::max(0, (exposed.top() + pan.y()) / z);
        const int right = std::min(width, (exposed.right() + pan.x()) / z + 1);
        const int bottom = std::min(height, (exposed.bottom() + pan.y()) / z + 1);
        if (right <= left || bottom <= top)
            return;
        const QRect source(left, top, right - left, bottom - top);
        // Wraps the locked pixels; drawn before the lock is let go.
        const QImage image(reinterpret_cast<const uchar*>(pixels), width, height,
                           static_cast<qsizetype>(width) * 4, QImage::Format_RGB32);
        if (z == 1) {
            painter.drawImage(source.topLeft() - pan, image, source);
            return;
        }
        // Nearest neighbour at a whole factor: every pixel a sharp square.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRect(source.topLeft() * z - pan, source.size() * z), image, source);
    });
}

void CPictureView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ClampPan();
}

// ---------------------------------------------------------------------------
// Zoom and pan

void CPictureView::ClampPan() {
    const QSize zoomed = SurfaceSize() * m_zoom;
    m_pan.setX(std::clamp(m_pan.x(), 0, std::max(0, zoomed.width() - width())));
    m_pan.setY(std::clamp(m_pan.y(), 0, std::max(0, zoomed.height() - height())));
}

QPoint CPictureView::SurfacePoint(QPoint viewPoint) const {
    // Floors, so points left of or above the picture stay outside it.
    const auto down = [this](int v) { return v >= 0 ? v / m_zoom : -((-v + m_zoom - 1) / m_zoom); };
    const QPoint p = viewPoint + m_pan;
    return QPoint(down(p.x()), down(p.y()));
}

void CPictureView::SetZoom(int zoom, QPoint anchor) {
    zoom = std::clamp(zoom, 1, kMaxZoom);
    if (zoom == m_zoom)
        return;
    // The anchor's point in the zoomed picture scales with the factor, so
    // the surface pixel under it stays (whole divisions keep it exact).
    const QPoint at = anchor + m_pan;
    m_pan = QPoint(static_cast<int>(int64_t{at.x()} * zoom / m_zoom),
                   static_cast<int>(int64_t{at.y()} * zoom / m_zoom)) -
            anchor;
    m_zoom = zoom;
    ClampPan();
    update();
    if (m_hovering)
        Inspect(m_hoverAt);
    emit zoomChanged(m_zoom);
}

void CPictureView::SetPan(QPoint pan) {
    const QPoint before = m_pan;
    m_pan = pan;
    ClampPan();
    if (m_pan == before)
        return;
    update();
    if (m_hovering)
        Inspect(m_hoverAt);
}

void CPictureView::ResetZoom() {
    SetPan(QPoint());
    SetZoom(1, QPoint());
}

void CPictureView::wheelEvent(QWheelEvent* event) {
    // The plain wheel scrolls whatever holds the picture.
    if (!(event->modifiers() & Qt::ControlModifier)) {
        event->ignore();
        return;
    }
    event->accept();
    m_wheelAngle += event->angleDelta().y();
    int zoom = m_zoom;
    for (; m_wheelAngle >= 120; m_wheelAngle -= 120)
        zoom = NextZoom(zoom, 1);
    for (; m_wheelAngle <= -120; m_wheelAngle += 120)
        zoom = NextZoom(zoom, -1);
    SetZoom(zoom, event->position().toPoint());
}

void CPictureView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Focus for the zoom keys; the right button (the page's menu) leaves it.
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    m_dragStart = event->position().toPoint();
    m_panAtDragStart = m_pan;
    if (SurfaceSize().width() * m_zoom > width() || SurfaceSize().height() * m_zoom > height())
        setCursor(Qt::ClosedHandCursor);
}

void CPictureView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        SetPan(m_panAtDragStart - (at - m_dragStart));
    m_hovering = true;
    Inspect(at);
}

void CPictureView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    unsetCursor();
}

void CPictureView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    ResetZoom();
}

void CPictureView::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        const QPoint middle = rect().center();
        switch (event->key()) {
            case Qt::Key_0:
                ResetZoom();
                return;
            case Qt::Key_Plus:
            case Qt::Key_Equal:
                SetZoom(NextZoom(m_zoom, 1), middle);
                return;
            case Qt::Key_Minus:
                SetZoom(NextZoom(m_zoom, -1), middle);
                return;
            default:
                break;
        }
    }
    QWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// Inspecting

void CPictureView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    m_frameStale = true;
}

void CPictureView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    EndInspecting();
}

void CPictureView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    EndInspecting();
}

void CPictureView::childEvent(QChildEvent* event) {
    QWidget::childEvent(event);
    if (event->added() && event->child()->isWidgetType())
        event->child()->installEventFilter(this);
}

bool CPictureView::eventFilter(QObject* watched, QEvent* event) {
    // The label itself lets the mouse through and is never entered.
    if (event->type() == QEvent::Enter && watched != m_probeLabel)
        EndInspecting();
    return QWidget::eventFilter(watched, event);
}

void CPictureView::EndInspecting() {
    m_hovering = false;
    m_probeRefresh.stop();
    ShowProbe(QString(), QPoint());
}

bool CPictureView::CurrentFrame() {
    if (m_frameStale) {
        m_frameStale = false;
        m_haveFrame = m_frameSource && m_frameSource(m_frame, m_geometry);
    }
    return m_haveFrame;
}

void CPictureView::Inspect(QPoint at) {
    m_hoverAt = at;
    QString text;
    const QPoint s = SurfacePoint(at);
    // Only what is on the surface is drawn; blocks past its edges are cut.
    if (m_frameSource && rect().contains(at) && QRect(QPoint(), SurfaceSize()).contains(s) &&
        CurrentFrame()) {
        pixel::Probe probe;
        if (pixel::ProbeAt(m_frame, m_geometry, s.x(), s.y(), probe))
            text = FormatProbe(probe);
    }
    ShowProbe(text, at);
}

void CPictureView::ShowProbe(const QString& text, QPoint at) {
    const bool changed = text != m_probeText;
    m_probeText = text;
    if (text.isEmpty()) {
        if (m_probeLabel)
            m_probeLabel->hide();
    } else {
        if (!m_probeLabel) {
            m_probeLabel = new QLabel(this);
            m_probeLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
            m_probeLabel->setStyleSheet(QStringLiteral(
                "QLabel { background: rgba(0, 0, 0, 170); color: white; padding: 1px 4px; }"));
        }
        if (changed) {
            m_probeLabel->setText(text);
            m_probeLabel->adjustSize();
        }
        // Beside the pointer, flipped to its other side near the view's edges.
        const QSize size = m_probeLabel->size();
        QPoint place = at + kProbeOffset;
        if (place.x() + size.width() > width())
            place.setX(at.x() - size.width() - 4);
        if (place.y() + size.height() > height())
            place.setY(at.y() - size.height() - 4);
        m_probeLabel->move(std::max(0, place.x()), std::max(0, place.y()));
        m_probeLabel->show();
        m_probeLabel->raise();
    }
    if (changed)
        emit probeChanged(text);
}

QString CPictureView::FormatProbe(const pixel::Probe& probe) {
    const QString rgb = QStringLiteral(" → R %1 G %2 B %3")
                            .arg((probe.rgb >> 16) & 0xFF)
                            .arg((probe.rgb >> 8) & 0xFF)
                            .arg(probe.rgb & 0xFF);
    QString value;
    switch (probe.encoding) {
        case stream::Encoding::Page:
        case stream::Encoding::Gray8:
            value = tr("值 %1").arg(int{probe.value});
            break;
        case stream::Encoding::Uyv:
            value = QStringLiteral("U %1 Y %2 V %3")
                        .arg(int{probe.u})
                        .arg(int{probe.value})
                        .arg(int{probe.v}) +
                    rgb;
            break;
        case stream::Encoding::Yuyv:
        case stream::Encoding::Uyvy:
        case stream::Encoding::Yvyu:
            // Y, U, V as sent, and the colour they make.
            value = QString::fromStdString(probe.text) + rgb;
            break;
        default:
            value = QString::fromStdString(probe.text);
            break;
    }
    // Where, then what: one pattern, so that a language can order it.
    return tr("行 %1  列 %2  %3")
        .arg(QString::number(probe.row), QString::number(probe.column), value);
}
