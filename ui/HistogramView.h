// The value histogram of the last frame: 256 bars, one per value (the gray
// byte, or Y of a colour frame), scaled to the tallest, with a line at the
// threshold when one is set. The pointer's tooltip gives the count under it.
// Frames may be handed over from any thread: the counts are made there and
// shown with one repaint on the user-interface thread.
#pragma once

#include <QString>
#include <QWidget>
#include <memory>
#include <mutex>

#include "capture/FrameCopy.h"
#include "capture/PixelProbe.h"

class CHistogramView : public QWidget {
    Q_OBJECT

public:
    explicit CHistogramView(QWidget* parent = nullptr);
    ~CHistogramView() override;

    // Counts the frame's values and shows them. Any thread.
    void SetFrame(const CFrameCopy& frame);
    // Shows these counts. Any thread.
    void SetCounts(const pixel::Histogram& counts);
    // What is shown (user-interface thread): counts handed over are shown
    // once the posted repaint has run.
    const pixel::Histogram& Counts() const { return m_counts; }

    // The value the line marks, or -1 for none (values outside 0..255 too).
    void SetThreshold(int value);
    int Threshold() const { return m_threshold; }

    // The area the bars take: inside the frame.
    QRect BarArea() const;
    // The values drawn in column x: [first, last]; false outside the bars.
    bool ValuesAt(int x, int& first, int& last) const;
    // The tooltip at view point p; empty outside the bars.
    QString TipAt(QPoint p) const;

    QSize sizeHint() const override { return QSize(258, 80); }
    QSize minimumSizeHint() const override { return QSize(66, 24); }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private slots:
    void ApplyCounts();

private:
    // Shared with threads handing over counts, which may outlive the view.
    struct Shared {
        std::mutex lock;
        pixel::Histogram counts{};
        bool pending = false;  // an ApplyCounts is posted
        CHistogramView* owner = nullptr;
    };

    std::shared_ptr<Shared> m_shared;
    pixel::Histogram m_counts{};
    int m_threshold = -1;
};
