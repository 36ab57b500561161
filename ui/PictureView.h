// The picture area: shows a picture surface 1:1 from its top-left corner
// inside a grey frame. The drawing threads tell it what changed; it gathers
// the changed rectangles and asks for at most one repaint at a time, and
// every paint, exposes included, reads the surface's pixels without a copy.
#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>
#include <memory>
#include <mutex>

#include "capture/PictureSurface.h"

class CPictureView : public QWidget {
    Q_OBJECT

public:
    // The surface stays the caller's and must outlive the view, or be
    // replaced by SetSurface first.
    explicit CPictureView(CPictureSurface* surface, QWidget* parent = nullptr);
    // Removes its listener from the surface before it goes.
    ~CPictureView() override;

    // Shows another surface, or none; the previous one loses its listener.
    void SetSurface(CPictureSurface* surface);
    CPictureSurface* Surface() const { return m_surface; }

    // The surface's size.
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private slots:
    // Turns the gathered rectangle into an update on the user-interface thread.
    void ApplyDirty();

private:
    // Shared with the surface's listener, which may still run on a drawing
    // thread after the view has gone.
    struct Shared {
        std::mutex lock;
        QRect dirty;           // changed since the last ApplyDirty
        bool pending = false;  // an ApplyDirty is posted
        CPictureView* owner = nullptr;
    };
    static void OnChanged(Shared& shared, const CPictureSurface::Rect& rect);

    std::shared_ptr<Shared> m_shared;
    CPictureSurface* m_surface = nullptr;
    QSize m_paintedSize;  // the surface's size at the last paint
};
