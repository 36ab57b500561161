// The picture area: shows a picture surface from its top-left corner inside
// a grey frame, 1:1 or zoomed. The drawing threads tell it what changed; it
// gathers the changed rectangles and asks for at most one repaint at a time,
// and every paint, exposes included, reads the surface's pixels without a
// copy and draws only the exposed part.
//
// Inspecting: with a frame source set, the mouse over a drawn pixel shows its
// row, column and bytes (and the colour drawn) in a small label beside the
// pointer. Ctrl+wheel zooms by whole factors from 1x to 16x around the
// pointer, pixels staying sharp squares (a plain wheel is left to the
// scrolling window around); the left button drags the zoomed picture; a
// double-click or Ctrl+0 goes back to 1:1, Ctrl+= and Ctrl+- zoom around the
// middle.
#pragma once

#include <QElapsedTimer>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <mutex>

#include "capture/FrameCopy.h"
#include "capture/PictureSurface.h"
#include "capture/PixelFormat.h"
#include "capture/PixelProbe.h"

class QLabel;

class CPictureView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxZoom = 16;

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

    // The last frame drawn whole and the geometry it was drawn with; false
    // when there is none. Asked on the user-interface thread when the mouse
    // is over the picture, again after the picture has changed. Without it
    // the view shows no values.
    std::function<bool(CFrameCopy& frame, pixel::Geometry& geometry)> m_frameSource;

    // --- Zoom and pan -------------------------------------------------------
    int Zoom() const { return m_zoom; }
    // The zoomed picture's point at the view's top-left corner, in view
    // pixels: view point p shows surface pixel (p + Pan()) / Zoom().
    QPoint Pan() const { return m_pan; }
    // Zooms to `zoom` (kept within 1..16), keeping the surface pixel under
    // `anchor` (a view point) under it as far as the pan allows.
    void SetZoom(int zoom, QPoint anchor);
    // Moves the zoomed picture, kept so that it covers as much of the view
    // as it can.
    void SetPan(QPoint pan);
    // Back to 1:1 from the top-left corner.
    void ResetZoom();
    // The surface pixel shown at a view point (may lie outside the surface).
    QPoint SurfacePoint(QPoint viewPoint) const;

    // --- Inspecting ---------------------------------------------------------
    // What the label beside the pointer says; empty while it is hidden.
    QString ProbeText() const { return m_probeText; }
    // The text for a frame pixel as found: "行 r  列 c  值 v" for grayscale,
    // "行 r  列 c  U u Y y V v → R r G g B b" for colour.
    static QString FormatProbe(const pixel::Probe& probe);

signals:
    void zoomChanged(int zoom);
    // The label's text changed (empty: hidden).
    void probeChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void childEvent(QChildEvent* event) override;
    // The pointer on a child laid over the picture (the histogram) has left
    // the picture: the label goes.
    bool eventFilter(QObject* watched, QEvent* event) override;

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

    QSize SurfaceSize() const;
    // Keeps the pan inside [0, zoomed size - view size] each way.
    void ClampPan();
    // The frame from the source, fetched again once it may have changed.
    bool CurrentFrame();
    // Shows the values under a view point, or hides the label.
    void Inspect(QPoint at);
    void ShowProbe(const QString& text, QPoint at);

    // Stops showing the values: the pointer is no longer over the picture.
    void EndInspecting();

    std::shared_ptr<Shared> m_shared;
    CPictureSurface* m_surface = nullptr;
    // The last repaint asked for, and the timer that asks for the next one
    // once a refresh interval has passed.
    QElapsedTimer m_sinceUpdate;
    QTimer m_updateTimer;
    QSize m_paintedSize;  // the surface's size at the last paint

    int m_zoom = 1;
    QPoint m_pan;
    int m_wheelAngle = 0;  // eighths of a degree not yet turned into a step
    bool m_dragging = false;
    QPoint m_dragStart, m_panAtDragStart;

    bool m_hovering = false;
    QPoint m_hoverAt;
    QString m_probeText;
    QLabel* m_probeLabel = nullptr;  // made at the first value shown
    CFrameCopy m_frame;
    pixel::Geometry m_geometry{};
    bool m_haveFrame = false;
    bool m_frameStale = true;
    // Shows the values under a resting pointer again after the picture changed.
    QTimer m_probeRefresh;
};
