// The picture inspector: the frame pixel under a surface point, the values
// shown under the mouse in every drawing mode, sharp zoom, pan, and the value
// histogram. Frames are drawn by the engine's own pass (a fake page's still
// frame), so the probe is checked against what was really drawn.
#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>
#include <QToolTip>
#include <QtTest>
#include <algorithm>
#include <random>
#include <thread>

#include "FakePage.h"
#include "capture/PixelProbe.h"
#include "ui/HistogramView.h"
#include "ui/PictureView.h"

namespace {

constexpr uint32_t kBackground = 0xF0F0F0;  // the fake page's cleared picture

struct Mode {
    uint8_t format;
    bool scale;
    uint32_t rowGap, columnGap;
};

// A fake page that has drawn one frame through the engine's pass.
struct Drawn {
    FakePage page;
    CFrameCopy frame;
    pixel::Geometry g{};

    Drawn(uint32_t rows, uint32_t columns, Mode m, int areaWidth, int areaHeight) {
        page.Configure(rows, columns, 0, m.format, areaWidth, areaHeight);
        page.m_bScaleToArea = m.scale;
        page.m_nRowGap = m.rowGap;
        page.m_nColumnGap = m.columnGap;
        frame.rows = rows;
        frame.columns = columns;
        frame.format = m.format;
        frame.rowGap = m.rowGap;
        frame.columnGap = m.columnGap;
        frame.bytes.resize(size_t{rows} * columns * (m.format == pixel::kUyv ? 3 : 1));
        // Y within 40..230 and U, V near the middle: no colour clips to the background.
        for (size_t i = 0; i < frame.bytes.size(); ++i)
            frame.bytes[i] = static_cast<uint8_t>(m.format == pixel::kGray ? i * 7 + 3
                                                  : i % 3 == 1             ? 40 + (i * 11) % 190
                                                                           : 96 + (i * 13) % 64);
        if (!page.ShowStillFrame(frame))
            qFatal("the still frame was not drawn");
        g = pixel::PassGeometry(rows, columns, m.rowGap, m.columnGap, m.scale, areaWidth,
                                areaHeight);
    }
    // The source a page gives its view.
    std::function<bool(CFrameCopy&, pixel::Geometry&)> Source() {
        return [this](CFrameCopy& f, pixel::Geometry& geometry) {
            geometry = g;
            return page.LastFrame(f);
        };
    }
    const uint8_t* At(uint64_t row, uint64_t column) const {
        const size_t size = frame.bytes.size() / (size_t{frame.rows} * frame.columns);
        return frame.bytes.data() + (row * frame.columns + column) * size;
    }
    QString Expected(uint64_t row, uint64_t column) const {
        const uint8_t* p = At(row, column);
        const QString where = QStringLiteral("行 %1  列 %2  ").arg(row).arg(column);
        if (frame.bytes.size() == size_t{frame.rows} * frame.columns)
            return where + QStringLiteral("值 %1").arg(p[0]);
        const uint32_t rgb = pixel::UyvToRgb(p[0], p[1], p[2]);
        return where + QStringLiteral("U %1 Y %2 V %3 → R %4 G %5 B %6")
                           .arg(p[0])
                           .arg(p[1])
                           .arg(p[2])
                           .arg(rgb >> 16)
                           .arg((rgb >> 8) & 0xFF)
                           .arg(rgb & 0xFF);
    }
};

QImage OnScreen(QWidget& w) {
    return w.screen()->grabWindow(w.winId()).toImage();
}

void Show(QWidget& w, QSize size) {
    w.resize(size);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTest::qWait(20);
}

// The pointer onto a view point, by way of a point next to it, since moving
// it where it already is sends nothing. QTest takes (0, 0) for the middle:
// that corner is reached the way QTest moves the pointer, through QCursor.
void Hover(QWidget& w, QPoint at) {
    QTest::mouseMove(&w, at == QPoint(1, 1) ? QPoint(2, 2) : QPoint(1, 1));
    if (!at.isNull()) {
        QTest::mouseMove(&w, at);
        return;
    }
    QCursor::setPos(w.mapToGlobal(at));
    QCoreApplication::processEvents();
}

void CtrlWheel(QWidget& w, QPoint at, int angle,
               Qt::KeyboardModifiers modifiers = Qt::ControlModifier, bool* accepted = nullptr) {
    QWheelEvent e(at, w.mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(&w, &e);
    if (accepted)
        *accepted = e.isAccepted();
}

// Where the zoomed view differs from its surface pixel by pixel; empty when nowhere.
QString ZoomMismatch(CPictureView& view, const CPictureSurface& surface) {
    if (auto* label = view.findChild<QLabel*>())
        label->hide();  // the values beside the pointer
    QTest::qWait(20);
    const QImage image = OnScreen(view);
    const int z = view.Zoom();
    const QPoint pan = view.Pan();
    for (int y = 0; y < view.height(); ++y)
        for (int x = 0; x < view.width(); ++x) {
            const uint32_t expected = surface.PixelAt((x + pan.x()) / z, (y + pan.y()) / z);
            if ((image.pixel(x, y) & 0xFFFFFF) != expected)
                return QStringLiteral("(%1, %2) at %3x").arg(x).arg(y).arg(z);
        }
    return QString();
}

class CountingView : public CPictureView {
public:
    using CPictureView::CPictureView;
    QRegion painted;

protected:
    void paintEvent(QPaintEvent* e) override {
        CPictureView::paintEvent(e);
        painted += e->region();
    }
};

}  // namespace

class InspectorTest : public QObject {
    Q_OBJECT

private slots:
    // Every surface pixel of small frames, 1:1 (clipped) and enlarged, with
    // gaps: a hit is the frame pixel drawn there, each shown pixel is hit on
    // its whole block, and a miss is background.
    void probeFindsThePixelDrawnAtEveryPoint() {
        for (const Mode m : {Mode{0, false, 0, 0}, Mode{0, true, 1, 2}, Mode{1, true, 2, 1},
                             Mode{1, false, 1, 0}, Mode{0, true, 0, 0}}) {
            Drawn d(13, 50, m, 90, 70);
            const CPictureSurface& surface = d.page.m_wndPicture;
            std::map<std::pair<uint32_t, uint32_t>, int> hits;
            for (int y = 0; y < surface.Height(); ++y)
                for (int x = 0; x < surface.Width(); ++x) {
                    pixel::Probe p;
                    if (!pixel::ProbeAt(d.frame, d.g, x, y, p)) {
                        QCOMPARE(surface.PixelAt(x, y), kBackground);
                        continue;
                    }
                    QCOMPARE(p.rgb, surface.PixelAt(x, y));
                    QCOMPARE(p.row % (m.rowGap + 1), 0u);
                    QCOMPARE(p.column % (m.columnGap + 1), 0u);
                    const uint8_t* bytes = d.At(p.row, p.column);
                    QCOMPARE(p.value, bytes[m.format == pixel::kUyv ? 1 : 0]);
                    if (m.format == pixel::kUyv)
                        QVERIFY(p.u == bytes[0] && p.v == bytes[2]);
                    ++hits[{p.row, p.column}];
                }
            // Whole blocks, except where the surface's right edge cuts them.
            const int block = d.g.block;
            for (uint32_t r = 0; r < 13; r += m.rowGap + 1)
                for (uint32_t c = 0; c < 50; c += m.columnGap + 1) {
                    const int left = static_cast<int>(c / (m.columnGap + 1)) * block;
                    const int shown = std::clamp(surface.Width() - left, 0, block) * block;
                    QCOMPARE(hits[std::make_pair(r, c)], shown);
                }
        }
        // Nothing where nothing can be drawn.
        Drawn d(4, 4, Mode{0, false, 0, 0}, 10, 10);
        pixel::Probe p;
        QVERIFY(pixel::ProbeAt(d.frame, d.g, 3, 3, p) && !pixel::ProbeAt(d.frame, d.g, -1, 0, p));
        pixel::Geometry empty = d.g;
        empty.block = 0;
        QVERIFY(!pixel::ProbeAt(d.frame, empty, 0, 0, p));
        d.frame.bytes.pop_back();
        QVERIFY(!pixel::ProbeAt(d.frame, d.g, 0, 0, p));
    }

    // RGB565 under the mouse: the 16-bit value as sent, in either byte
    // order, and its red, green and blue.
    void inspectorSaysTheRgb565Pixel() {
        CPictureSurface surface;
        surface.Resize(8, 4);
        CPictureView view(&surface);
        const pixel::Geometry g = pixel::PassGeometry(1, 3, 0, 0, false, 8, 4);
        for (const auto encoding : {stream::Encoding::Rgb565Be, stream::Encoding::Rgb565Le}) {
            CFrameCopy frame;
            frame.rows = 1;
            frame.columns = 3;
            frame.format = pixel::kUyv;
            frame.encoding = encoding;
            const bool be = encoding == stream::Encoding::Rgb565Be;
            for (uint16_t v : {uint16_t{0x001F}, uint16_t{0xF800}, uint16_t{0x8410}})
                frame.bytes.insert(frame.bytes.end(), {be ? uint8_t(v >> 8) : uint8_t(v & 0xFF),
                                                       be ? uint8_t(v & 0xFF) : uint8_t(v >> 8)});
            view.m_frameSource = [&](CFrameCopy& f, pixel::Geometry& geometry) {
                f = frame;
                geometry = g;
                return true;
            };
            Show(view, QSize(8, 4));
            Hover(view, QPoint(1, 0));
            QCOMPARE(view.ProbeText(), QStringLiteral("行 0  列 1  RGB565 0xF800 = R 255 G 0 B 0"));
            Hover(view, QPoint(2, 0));
            QCOMPARE(view.ProbeText(),
                     QStringLiteral("行 0  列 2  RGB565 0x8410 = R 132 G 130 B 132"));
            Hover(view, QPoint(3, 0));  // past the frame
            QCOMPARE(view.ProbeText(), QString());
        }
    }

    // The mouse over block edges and past the picture, 1:1 and enlarged,
    // with gaps, gray and colour: the label says the frame pixel's bytes and
    // the colour on screen under the pointer.
    void hoverShowsThePixelUnderTheMouse() {
        for (const Mode m : {Mode{0, false, 0, 0}, Mode{0, true, 1, 2}, Mode{1, true, 2, 1},
                             Mode{1, false, 0, 3}}) {
            Drawn d(12, 16, m, 100, 80);
            CPictureView view(&d.page.m_wndPicture);
            view.m_frameSource = d.Source();
            Show(view, QSize(100, 80));
            const QImage screen = OnScreen(view);
            const int block = d.g.block;
            for (uint64_t dr : {uint64_t{0}, d.g.displayRows / 2, d.g.displayRows - 1})
                for (uint64_t dc : {uint64_t{0}, uint64_t{1}, d.g.displayColumns - 1})
                    for (int edge : {0, block - 1}) {
                        const QPoint at(static_cast<int>(dc) * block + edge,
                                        static_cast<int>(dr) * block + edge);
                        Hover(view, at);
                        const uint64_t row = dr * d.g.rowStep, column = dc * d.g.columnStep;
                        QCOMPARE(view.ProbeText(), d.Expected(row, column));
                        const uint8_t* p = d.At(row, column);
                        QCOMPARE(
                            screen.pixel(at) & 0xFFFFFF,
                            m.format ? pixel::UyvToRgb(p[0], p[1], p[2]) : pixel::GrayToRgb(p[0]));
                        auto* label = view.findChild<QLabel*>();
                        QVERIFY(label && label->isVisible() && label->text() == view.ProbeText());
                    }
            // Past the last shown column and row: nothing.
            Hover(view, QPoint(static_cast<int>(d.g.displayColumns) * block + 1, 2));
            QCOMPARE(view.ProbeText(), QString());
            Hover(view, QPoint(2, static_cast<int>(d.g.displayRows) * block + 1));
            QCOMPARE(view.ProbeText(), QString());
            QVERIFY(!view.findChild<QLabel*>()->isVisible());
        }
    }

    // The label goes whenever the pointer is no longer over the picture: onto
    // a widget laid over it (the histogram), or with the view hidden (another
    // page shown); it does not come back by itself when the view returns.
    void labelGoesWhenThePointerLeavesThePicture() {
        Drawn d(12, 16, Mode{0, false, 0, 0}, 100, 80);
        CPictureView view(&d.page.m_wndPicture);
        view.m_frameSource = d.Source();
        auto* over = new QWidget(&view);
        over->setGeometry(60, 0, 40, 20);
        Show(view, QSize(100, 80));
        Hover(view, QPoint(3, 3));
        auto* label = view.findChild<QLabel*>();
        QVERIFY(label != nullptr && label->isVisible());
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(over, &enter);
        QCOMPARE(view.ProbeText(), QString());
        QVERIFY(!label->isVisible());

        Hover(view, QPoint(5, 5));
        QVERIFY(label->isVisible());
        view.hide();
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QVERIFY(!label->isVisible());
        QCOMPARE(view.ProbeText(), QString());
    }

    // Ctrl+wheel zooms around the pointer with every pixel a sharp square,
    // a drag pans, hover and repaints follow the zoom, the plain wheel is
    // left alone, a double-click goes back to 1:1.
    void zoomIsSharpPansAndStillInspects() {
        Drawn d(120, 160, Mode{1, false, 0, 0}, 160, 120);
        CountingView view(&d.page.m_wndPicture);
        view.m_frameSource = d.Source();
        Show(view, QSize(160, 120));
        const QPoint anchor(101, 37);
        const uint32_t underAnchor = OnScreen(view).pixel(anchor) & 0xFFFFFF;
        for (int expected : {2, 3, 4}) {
            CtrlWheel(view, anchor, 120);
            QCOMPARE(view.Zoom(), expected);
        }
        QTest::qWait(20);
        QCOMPARE(OnScreen(view).pixel(anchor) & 0xFFFFFF, underAnchor);
        QCOMPARE(ZoomMismatch(view, d.page.m_wndPicture), QString());

        const QPoint panBefore = view.Pan();
        QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(80, 60));
        QTest::mouseMove(&view, QPoint(50, 40));
        QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(50, 40));
        QCOMPARE(view.Pan(), panBefore + QPoint(30, 20));
        QTest::qWait(20);
        QCOMPARE(ZoomMismatch(view, d.page.m_wndPicture), QString());
        for (const QPoint at : {QPoint(0, 0), QPoint(3, 4), QPoint(4, 3), QPoint(159, 119)}) {
            Hover(view, at);
            const QPoint s = at + view.Pan();  // over 4, rounded down
            QCOMPARE(view.ProbeText(), d.Expected(s.y() / 4, s.x() / 4));
        }

        // A changed surface rectangle repaints its zoomed place only.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&view, &leave);
        QVERIFY(view.ProbeText().isEmpty() && !view.findChild<QLabel*>()->isVisible());
        QTest::qWait(20);
        view.painted = QRegion();
        std::thread([&] {
            CPictureSurface::DC dc(d.page.m_wndPicture);
            dc.FillBlock(100, 40, 3, 0xFF00FF);
        }).join();
        QTRY_VERIFY(!view.painted.isEmpty());
        QCOMPARE(view.painted, QRegion(QRect(QPoint(400, 160) - view.Pan(), QSize(12, 12))));
        QCOMPARE(ZoomMismatch(view, d.page.m_wndPicture), QString());

        bool accepted = true;
        CtrlWheel(view, anchor, -120, Qt::NoModifier, &accepted);
        QVERIFY(!accepted);
        QCOMPARE(view.Zoom(), 4);
        CtrlWheel(view, anchor, 16 * 120);
        QCOMPARE(view.Zoom(), CPictureView::kMaxZoom);
        QTest::mouseDClick(&view, Qt::LeftButton, {}, anchor);
        QCOMPARE(view.Zoom(), 1);
        QCOMPARE(view.Pan(), QPoint());
    }

    // A zoomed, panned 160x120 colour picture paints well within a frame's time.
    void zoomedPaintIsCheap() {
        Drawn d(120, 160, Mode{1, false, 0, 0}, 160, 120);
        CPictureView view(&d.page.m_wndPicture);
        Show(view, QSize(640, 480));
        view.SetZoom(8, QPoint(320, 240));
        QImage target(view.size(), QImage::Format_RGB32);
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < 50; ++i)
            view.render(&target);
        const double ms = timer.nsecsElapsed() / 1e6 / 50;
        qInfo("160x120 at 8x in 640x480: %.3f ms per paint", ms);
        QVERIFY2(ms < 10, qPrintable(QString::number(ms)));
    }

    // The counts of a frame whose values come in known numbers (Y only for
    // colour), the bars, the threshold line and the tooltip.
    void histogramCountsTheLastFrame() {
        // One column of values in random numbers each, shuffled.
        std::mt19937 random(7);
        CFrameCopy gray;
        for (int v = 0; v < 256; ++v)
            gray.bytes.insert(gray.bytes.end(), random() % 9, static_cast<uint8_t>(v));
        std::shuffle(gray.bytes.begin(), gray.bytes.end(), random);
        pixel::Histogram expected{};
        for (uint8_t v : gray.bytes)
            ++expected[v];
        gray.rows = static_cast<uint32_t>(gray.bytes.size());
        gray.columns = 1;
        gray.rowGap = 1;  // counted all the same
        CFrameCopy colour = gray;
        colour.format = pixel::kUyv;
        colour.bytes.clear();
        for (uint8_t v : gray.bytes)
            colour.bytes.insert(colour.bytes.end(), {0, v, 255});
        QVERIFY(pixel::ValueHistogram(gray) == expected);
        QVERIFY(pixel::ValueHistogram(colour) == expected);
        colour.bytes.pop_back();
        QVERIFY(pixel::ValueHistogram(colour) == pixel::Histogram{});

        CHistogramView view;
        Show(view, QSize(258, 60));
        std::thread([&] { view.SetFrame(gray); }).join();
        QTRY_VERIFY(view.Counts() == expected);
        view.SetThreshold(100);
        QTest::qWait(20);
        const QImage image = OnScreen(view);
        const QRect area = view.BarArea();
        const uint64_t tallest = *std::max_element(expected.begin(), expected.end());
        for (int v = 0; v < 256; ++v) {
            const int x = area.left() + v;
            int height = 0, red = 0;
            for (int y = area.top(); y <= area.bottom(); ++y) {
                const QColor c(image.pixel(x, y));
                red += c.red() > 200 && c.green() < 50;
                height += c.red() < 100 && c.green() < 100;
            }
            if (v == 100) {
                QCOMPARE(red, area.height());
                continue;
            }
            QCOMPARE(red, 0);
            QCOMPARE(height == 0, expected[v] == 0);
            QVERIFY(std::abs(height - static_cast<double>(expected[v]) * area.height() / tallest) <=
                    1);
        }

        uint64_t above = 0;
        for (int v = 101; v < 256; ++v)
            above += expected[v];
        const QPoint at(area.left() + 37, area.center().y());
        QHelpEvent help(QEvent::ToolTip, at, view.mapToGlobal(at));
        QApplication::sendEvent(&view, &help);
        QTRY_COMPARE(QToolTip::text(), QStringLiteral("值 37：%1 个像素\n高于阈值 100：%2 个像素")
                                           .arg(expected[37])
                                           .arg(above));
        QToolTip::hideText();
    }
};

QTEST_MAIN(InspectorTest)
#include "InspectorTest.moc"
