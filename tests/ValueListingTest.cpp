#include <QImage>
#include <QScrollBar>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "ui/ValueListing.h"

namespace {

using Clock = std::chrono::steady_clock;

// Records what the last paint showed.
class TestListing : public CValueListing {
public:
    using CValueListing::CValueListing;
    int paints = 0;
    size_t length = 0;  // text length
    int value = -1;     // vertical scroll bar value and maximum
    int maximum = -1;

protected:
    void paintEvent(QPaintEvent* event) override {
        CValueListing::paintEvent(event);
        ++paints;
        length = PaintedLength();
        value = verticalScrollBar()->value();
        maximum = verticalScrollBar()->maximum();
    }
};

// What the engine lists for a rows x columns frame of alternating values.
std::string FrameText(int rows, int columns) {
    std::string text;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            text += (r + c) % 2 ? '1' : '0';
        text += '\n';
    }
    return text;
}

void AppendOnThread(CValueListing::Content& content, const std::string& text) {
    std::thread([&] {
        for (char c : text)
            content.Append(c);
    }).join();
}

void Show(QWidget& w, int width, int height) {
    w.resize(width, height);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
}

// True once a paint has shown all of the text scrolled to its last line.
bool ShowsEnd(const TestListing& w, const std::string& text) {
    const QScrollBar* bar = w.verticalScrollBar();
    const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    return w.length == text.size() && w.value == w.maximum && w.maximum == bar->maximum() &&
           bar->maximum() + bar->pageStep() == std::max(lines, bar->pageStep());
}

bool Dark(QRgb pixel) {
    return qGray(pixel) < 128;
}

// Rightmost dark pixel in the viewport rows [top, bottom], from its left
// edge; -1 when none.
int RightmostDark(const QImage& image, const QRect& view, int top, int bottom) {
    int right = -1;
    for (int y = std::max(top, view.top()); y <= std::min(bottom, view.bottom()); ++y)
        for (int x = view.left(); x <= view.right(); ++x)
            if (Dark(image.pixel(x, y)))
                right = std::max(right, x - view.left());
    return right;
}

}  // namespace

class ValueListingTest : public QObject {
    Q_OBJECT

private slots:
    // --- Content -------------------------------------------------------------
    void capacityDropsTheRest() {
        CValueListing w;
        w.SetCapacity(10);
        AppendOnThread(*w.SharedContent(),
                       "0101010101"
                       "11\n0");
        QCOMPARE(w.Text(), std::string("0101010101"));
        w.Clear();
        QCOMPARE(w.Text(), std::string());
        AppendOnThread(*w.SharedContent(), "1\n1\n1\n1\n1\n1\n");
        QCOMPARE(w.Text(), std::string("1\n1\n1\n1\n1\n"));
        w.SetCapacity(4);  // keeps what is there, takes nothing more
        w.Append('0');
        QCOMPARE(w.Text(), std::string("1\n1\n1\n1\n1\n"));
    }

    void appendsFromTwoThreadsInOrder() {
        TestListing w;
        Show(w, 240, 160);
        const std::string first = FrameText(30, 16), second = FrameText(12, 9) + "0110";
        AppendOnThread(*w.SharedContent(), first);
        QCOMPARE(w.Text(), first);  // in effect on return, before any event
        AppendOnThread(*w.SharedContent(), second);
        QCOMPARE(w.Text(), first + second);
        QTRY_VERIFY(ShowsEnd(w, first + second));
    }

    // --- View ---------------------------------------------------------------
    void followsTheNewestLine() {
        TestListing w;
        Show(w, 240, 160);
        std::string text = FrameText(200, 60);
        AppendOnThread(*w.SharedContent(), text);
        QTRY_VERIFY(ShowsEnd(w, text));
        QVERIFY(w.verticalScrollBar()->maximum() > 150);
        QVERIFY(w.horizontalScrollBar()->maximum() > 0);  // 60 columns do not fit

        // Scrolled away by the user, the next append brings the end back.
        w.verticalScrollBar()->setValue(0);
        QTRY_COMPARE(w.value, 0);
        AppendOnThread(*w.SharedContent(), "1\n");
        text += "1\n";
        QTRY_VERIFY(ShowsEnd(w, text));
        w.resize(240, 100);  // a lower box still ends at the last line
        QTRY_VERIFY(ShowsEnd(w, text));
    }

    void paintsTheLastLine() {
        TestListing w;
        Show(w, 300, 200);
        const std::string text = FrameText(40, 25) + "1";  // long lines, then a short one
        AppendOnThread(*w.SharedContent(), text);
        QTRY_VERIFY(ShowsEnd(w, text));

        const QImage image = w.grab().toImage();
        const QRect view = w.viewport()->geometry();
        int lowest = -1;
        for (int y = view.top(); y <= view.bottom(); ++y)
            if (RightmostDark(image, view, y, y) >= 0)
                lowest = y;
        QVERIFY(lowest >= 0);
        // The lowest painted line is the short one and the line above is long.
        const QFontMetrics metrics = w.fontMetrics();
        const int charWidth = metrics.horizontalAdvance(QLatin1Char('0'));
        const int glyph = metrics.height() / 3, line = metrics.lineSpacing();
        const int last = RightmostDark(image, view, lowest - glyph, lowest);
        QVERIFY2(last >= 0 && last < 3 * charWidth, qPrintable(QString::number(last)));
        QVERIFY(RightmostDark(image, view, lowest - line - glyph, lowest - line) > 10 * charWidth);
    }

    void clearEmptiesTheView() {
        TestListing w;
        Show(w, 240, 160);
        AppendOnThread(*w.SharedContent(), FrameText(50, 10));
        QTRY_VERIFY(w.verticalScrollBar()->maximum() > 0);
        std::thread([&] { w.Clear(); }).join();
        QTRY_VERIFY(w.length == 0 && w.verticalScrollBar()->maximum() == 0);
        const QRect view = w.viewport()->geometry();
        QCOMPARE(RightmostDark(w.grab().toImage(), view, view.top(), view.bottom()), -1);
    }

    // --- Threads and lifetime -----------------------------------------------
    void outlivesTheBox() {
        // Destroyed while another thread appends, with a request likely queued.
        for (int round = 0; round < 20; ++round) {
            auto* w = new TestListing;
            Show(*w, 200, 150);
            const std::shared_ptr<CValueListing::Content> content = w->SharedContent();
            std::atomic<bool> stop{false};
            std::thread feeder([&] {
                while (!stop) {
                    for (int c = 0; c < 40; ++c)
                        content->Append('1');
                    content->Append('\n');
                    if (content->Text().size() > 15000)
                        content->Clear();
                }
            });
            QTRY_VERIFY(w->length > 0);
            delete w;
            QTest::qWait(2);
            stop = true;
            feeder.join();
            QCoreApplication::processEvents();
            QCOMPARE(content->Text().size() % 41, size_t(0));  // whole lines only
        }
        // Destroyed with no request queued: the next append must not post one.
        auto* w = new TestListing;
        Show(*w, 200, 150);
        const std::shared_ptr<CValueListing::Content> content = w->SharedContent();
        AppendOnThread(*content, "0101\n");
        QTRY_COMPARE(w->length, size_t(5));
        delete w;
        AppendOnThread(*content, "1\n");
        QCoreApplication::processEvents();
        QCOMPARE(content->Text(), std::string("0101\n1\n"));
    }

    // 19,320 appends, one 120 x 160 frame, from a non-UI thread while the
    // user-interface thread runs its events.
    void frameListingTimes() {
        TestListing w;
        Show(w, 320, 240);
        const std::string text = FrameText(120, 160);
        QCOMPARE(text.size(), size_t(19320));
        std::atomic<bool> done{false};
        Clock::time_point first, last;
        std::thread feeder([&] {
            first = Clock::now();
            for (char c : text)
                w.Append(c);
            last = Clock::now();
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents();
        feeder.join();
        while (!ShowsEnd(w, text) && Clock::now() - first < std::chrono::seconds(10))
            QCoreApplication::processEvents();
        const Clock::time_point painted = Clock::now();
        QVERIFY(ShowsEnd(w, text));
        const auto ms = [](Clock::duration d) {
            return std::chrono::duration<double, std::milli>(d).count();
        };
        qInfo("19320 appends: %.2f ms to return, %.2f ms until painted, %d paints",
              ms(last - first), ms(painted - first), w.paints);
        QVERIFY(painted - first < std::chrono::milliseconds(500));
    }
};

QTEST_MAIN(ValueListingTest)
#include "ValueListingTest.moc"
