#include "ui/PictureView.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <cstdint>

CPictureView::CPictureView(CPictureSurface* surface, QWidget* parent)
    : QWidget(parent), m_shared(std::make_shared<Shared>()) {
    m_shared->owner = this;                 // no listener has the state yet
    setAttribute(Qt::WA_OpaquePaintEvent);  // paintEvent covers every pixel
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
    QRect dirty;
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        dirty = m_shared->dirty;
        m_shared->dirty = QRect();
        m_shared->pending = false;
    }
    if (!m_surface)
        return;
    // A new size uncovers or covers frame and background too.
    if (QSize(m_surface->Width(), m_surface->Height()) != m_paintedSize)
        update();
    else if (!dirty.isEmpty())
        update(dirty);
}

QSize CPictureView::sizeHint() const {
    if (!m_surface)
        return QWidget::sizeHint();
    return QSize(m_surface->Width(), m_surface->Height());
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
    m_surface->Read([&](const uint32_t* pixels, int width, int height) {
        m_paintedSize = QSize(width, height);
        const QRect part = event->rect() & QRect(0, 0, width, height);
        if (part.isEmpty())
            return;
        // Wraps the locked pixels; drawn before the lock is let go.
        const QImage image(reinterpret_cast<const uchar*>(pixels), width, height,
                           static_cast<qsizetype>(width) * 4, QImage::Format_RGB32);
        painter.drawImage(part.topLeft(), image, part);
    });
}
