#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "capture/CArrayText.h"
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

// True once a paint has shown all of the text with line `top` at the top
// (-1: scrolled to its last line).
bool Shows(const TestListing& w, const std::string& text, int top = 0) {
    const QScrollBar* bar = w.verticalScrollBar();
    const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    return w.length == text.size() && w.value == (top < 0 ? w.maximum : top) &&
           w.maximum == bar->maximum() &&
           bar->maximum() + bar->pageStep() == std::max(lines, bar->pageStep());
}

bool ShowsEnd(const TestListing& w, const std::string& text) {
    return Shows(w, text, -1);
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

constexpr int kMargin = 2;  // the listing's, between its frame and its text

// Left edge of a character in the viewport: line counted from the top line
// in view, column from the first. Hitting it a third of a character to the
// right still picks the edge before the character.
QPointF CharEdge(const CValueListing& w, int line, int column) {
    const qreal charWidth = QFontMetricsF(w.font()).horizontalAdvance(QLatin1Char('0'));
    const int lineHeight = w.fontMetrics().lineSpacing();
    return QPointF(kMargin + column * charWidth - w.horizontalScrollBar()->value(),
                   kMargin + line * lineHeight);
}
QPoint CharPoint(const CValueListing& w, int line, int column) {
    const qreal charWidth = QFontMetricsF(w.font()).horizontalAdvance(QLatin1Char('0'));
    return (CharEdge(w, line, column) + QPointF(charWidth / 3, w.fontMetrics().height() / 2))
        .toPoint();
}

void Drag(CValueListing& w, QPoint from, QPoint to) {
    QTest::mousePress(w.viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(w.viewport(), (from + to) / 2);
    QTest::mouseMove(w.viewport(), to);
    QTest::mouseRelease(w.viewport(), Qt::LeftButton, {}, to);
}

// Leftmost and rightmost x of the highlight colour in the line's band of
// the viewport; (-1, -1) when there is none.
std::pair<int, int> Highlighted(CValueListing& w, int line) {
    const QImage image = w.viewport()->grab().toImage();
    const QColor highlight = w.palette().color(QPalette::Highlight);
    const int top = static_cast<int>(CharEdge(w, line, 0).y());
    std::pair<int, int> span(-1, -1);
    for (int y = top + 1; y < top + w.fontMetrics().lineSpacing() - 1; ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == highlight) {
                span.first = span.first < 0 ? x : std::min(span.first, x);
                span.second = std::max(span.second, x);
            }
    return span;
}

QString Clipboard(QClipboard::Mode mode = QClipboard::Clipboard) {
    return QGuiApplication::clipboard()->text(mode);
}

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// A menu's actions without separators.
QList<QAction*> Actions(const QMenu* menu) {
    QList<QAction*> actions;
    for (QAction* action : menu->actions())
        if (!action->isSeparator())
            actions.push_back(action);
    return actions;
}

QAction* ActionNamed(const QMenu* menu, const QString& text) {
    for (QAction* action : Actions(menu)) {
        if (action->text() == text)
            return action;
        if (action->menu())
            if (QAction* inner = ActionNamed(action->menu(), text))
                return inner;
    }
    return nullptr;
}

// A shown listing with the highlight in a colour no text pixel has.
void ShowWithText(TestListing& w, const std::string& text) {
    QPalette palette = w.palette();
    palette.setColor(QPalette::Highlight, QColor(255, 0, 0));
    palette.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    w.setPalette(palette);
    Show(w, 320, 200);
    AppendOnThread(*w.SharedContent(), text);
    QTRY_VERIFY(Shows(w, text));
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
        QTRY_VERIFY(Shows(w, first + second));
    }

    // --- View ---------------------------------------------------------------
    // A listing opens at its first line, and a frame listed anew (the next
    // one, or the same one at another threshold) opens there too. Where the
    // user scrolled (wheel, bars or keys), the next frame keeps the place,
    // also through a resize, until they go back to the start.
    void opensAtTheFirstLineAndKeepsTheUsersPlace() {
        TestListing w;
        Show(w, 240, 160);
        const std::string text = FrameText(200, 60);
        AppendOnThread(*w.SharedContent(), text);
        QTRY_VERIFY(Shows(w, text));
        QVERIFY(w.verticalScrollBar()->maximum() > 150);
        QVERIFY(w.horizontalScrollBar()->maximum() > 0);  // 60 columns do not fit

        const auto relist = [&] {
            std::thread([&] { w.Clear(); }).join();
            QCoreApplication::processEvents();  // a repaint of the empty box between
            AppendOnThread(*w.SharedContent(), text);
        };
        relist();
        QTRY_VERIFY(Shows(w, text));

        const QPoint centre = w.viewport()->rect().center();
        QWheelEvent wheel(centre, w.viewport()->mapToGlobal(centre), QPoint(), QPoint(0, -360),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w.viewport(), &wheel);
        const int top = w.verticalScrollBar()->value();
        QVERIFY(top > 5);
        w.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        const int left = w.horizontalScrollBar()->value();
        QVERIFY(left > 0);
        relist();
        QTRY_VERIFY(Shows(w, text, top));
        QCOMPARE(w.horizontalScrollBar()->value(), left);
        w.resize(240, 100);
        QTRY_VERIFY(Shows(w, text, top));

        QTest::keyClick(&w, Qt::Key_Home, Qt::ControlModifier);
        relist();
        QTRY_VERIFY(Shows(w, text));
        QCOMPARE(w.horizontalScrollBar()->value(), 0);
    }

    void paintsTheLastLine() {
        TestListing w;
        Show(w, 300, 200);
        const std::string text = FrameText(40, 25) + "1";  // long lines, then a short one
        AppendOnThread(*w.SharedContent(), text);
        QTRY_VERIFY(Shows(w, text));
        QTest::keyClick(&w, Qt::Key_End, Qt::ControlModifier);
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

    // --- Selection ----------------------------------------------------------
    void dragAndKeysSelectAndCopy() {
        TestListing w;
        const std::string text = FrameText(4, 12);  // lines of 13 characters
        ShowWithText(w, text);
        QCOMPARE(w.verticalScrollBar()->value(), 0);  // all of it in view

        // Line 0 column 3 to line 1 column 7, across the line break.
        Drag(w, CharPoint(w, 0, 3), CharPoint(w, 1, 7));
        std::string selected = text.substr(3, 13 + 7 - 3);
        QCOMPARE(w.SelectedText(), selected);
        QTRY_VERIFY(w.paints > 0 && Highlighted(w, 2).first < 0);
        const auto first = Highlighted(w, 0), second = Highlighted(w, 1);
        QVERIFY(std::abs(first.first - CharEdge(w, 0, 3).x()) <= 1);
        QVERIFY(first.second >= CharEdge(w, 0, 12).x());  // and the line break
        QVERIFY(std::abs(second.first - CharEdge(w, 1, 0).x()) <= 1);
        QVERIFY(std::abs(second.second + 1 - CharEdge(w, 1, 7).x()) <= 1);

        QClipboard* clipboard = QGuiApplication::clipboard();
        const bool primary = clipboard->supportsSelection();
        if (primary)
            QCOMPARE(Clipboard(QClipboard::Selection), Latin1(selected));
        else
            qInfo("No primary selection on this platform: not checked");
        clipboard->clear();
        QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(Clipboard(), Latin1(selected));

        // Shift and the arrows move the caret from the drag's end.
        QTest::keyClick(&w, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&w, Qt::Key_Right, Qt::ShiftModifier);
        QTest::keyClick(&w, Qt::Key_Down, Qt::ShiftModifier);
        selected = text.substr(3, 2 * 13 + 9 - 3);
        QCOMPARE(w.SelectedText(), selected);
        QTest::keyClick(&w, Qt::Key_End, Qt::ShiftModifier);
        QCOMPARE(w.SelectedText(), text.substr(3, 2 * 13 + 12 - 3));
        if (primary)
            QCOMPARE(Clipboard(QClipboard::Selection), Latin1(w.SelectedText()));
        QTest::keyClick(&w, Qt::Key_Insert, Qt::ControlModifier);
        QCOMPARE(Clipboard(), Latin1(w.SelectedText()));

        QTest::keyClick(&w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(Clipboard(), Latin1(text));
        QVERIFY(Highlighted(w, 3).first >= 0);

        QTest::mouseDClick(w.viewport(), Qt::LeftButton, {}, CharPoint(w, 1, 4));
        QCOMPARE(w.SelectedText(), text.substr(13, 12));  // the line, without its break

        // A click is an empty selection; Ctrl+C then copies the whole listing.
        QTest::mouseClick(w.viewport(), Qt::LeftButton, {}, CharPoint(w, 2, 2));
        QVERIFY(!w.HasSelection());
        clipboard->clear();
        QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(Clipboard(), Latin1(text));
    }

    void dragPastTheEdgeScrolls() {
        TestListing w;
        const std::string text = FrameText(100, 8);
        ShowWithText(w, text);
        QTest::keyClick(&w, Qt::Key_Home, Qt::ControlModifier);
        QTRY_COMPARE(w.value, 0);
        QTest::mousePress(w.viewport(), Qt::LeftButton, {}, CharPoint(w, 0, 0));
        QTest::mouseMove(w.viewport(), QPoint(20, w.viewport()->height() + 20));
        QTRY_VERIFY(w.verticalScrollBar()->value() > 10);
        QTest::mouseRelease(w.viewport(), Qt::LeftButton, {},
                            QPoint(20, w.viewport()->height() + 20));
        // Below the last line in view, the selection reaches it.
        const std::string selected = w.SelectedText();
        const size_t lines =
            static_cast<size_t>(std::count(selected.begin(), selected.end(), '\n'));
        QVERIFY(lines >= static_cast<size_t>(w.verticalScrollBar()->value()));
    }

    void selectionKeptByAppendsDroppedByClear() {
        TestListing w;
        const std::string text = FrameText(3, 10);
        ShowWithText(w, text);
        Drag(w, CharPoint(w, 1, 2), CharPoint(w, 2, 4));
        const std::string selected = text.substr(11 + 2, 11 + 4 - 2);
        QCOMPARE(w.SelectedText(), selected);

        AppendOnThread(*w.SharedContent(), FrameText(2, 10));
        QTRY_VERIFY(Shows(w, text + FrameText(2, 10)));
        QCOMPARE(w.SelectedText(), selected);
        QVERIFY(Highlighted(w, 1).first >= 0);

        // A new frame: the old offsets must not select in the new text.
        std::thread([&] { w.Clear(); }).join();
        QVERIFY(!w.HasSelection());
        AppendOnThread(*w.SharedContent(), text);
        QTRY_VERIFY(Shows(w, text));
        QVERIFY(!w.HasSelection());
        QCOMPARE(w.SelectedText(), std::string());
        for (int line = 0; line < 3; ++line)
            QCOMPARE(Highlighted(w, line).first, -1);
    }

    // --- Context menu -------------------------------------------------------
    void contextMenuActions() {
        CValueListing w;
        const QStringList order = {QStringLiteral("复制"), QStringLiteral("全部复制"),
                                   QStringLiteral("保存为文本…"), QStringLiteral("复制为 C 数组")};
        const QStringList arrays = {QStringLiteral("二值化值"), QStringLiteral("原始像素值")};
        const auto check = [&](const QMenu* menu, const QList<bool>& enabled) {
            QList<QAction*> actions = Actions(menu);
            QVERIFY(actions.size() == order.size() && actions.back()->menu());
            actions += Actions(actions.back()->menu());
            actions.removeAt(order.size() - 1);  // the submenu's own action
            QCOMPARE(actions.size(), enabled.size());
            for (qsizetype i = 0; i < actions.size(); ++i) {
                const QString text = (order.mid(0, 3) + arrays)[i];
                QCOMPARE(actions[i]->text(), text);
                QVERIFY2(actions[i]->isEnabled() == enabled[i], qPrintable(text));
            }
        };
        std::unique_ptr<QMenu> empty(w.CreateContextMenu(nullptr));
        check(empty.get(), {false, false, false, false, false});

        // Two whole lines, a third of another length, a fourth arriving.
        AppendOnThread(*w.SharedContent(), "011\n101\n10\n1");
        const std::vector<uint8_t> raw = {0, 255, 17, 3, 40, 5};
        w.m_rawValues = [&](uint32_t& rows, uint32_t& columns, std::vector<uint8_t>& values) {
            rows = 2, columns = 3, values = raw;
            return true;
        };
        std::unique_ptr<QMenu> full(w.CreateContextMenu(nullptr));
        check(full.get(), {false, true, true, true, true});
        ActionNamed(full.get(), arrays[0])->trigger();
        QCOMPARE(Clipboard(), QStringLiteral("const unsigned char tavix_frame[2][3] = {\n"
                                             "    {0, 1, 1},\n"
                                             "    {1, 0, 1}\n"
                                             "};\n"));
        ActionNamed(full.get(), arrays[1])->trigger();
        QCOMPARE(Clipboard(), QStringLiteral("const unsigned char tavix_frame[2][3] = {\n"
                                             "    {  0, 255,  17},\n"
                                             "    {  3,  40,   5}\n"
                                             "};\n"));
        ActionNamed(full.get(), order[1])->trigger();
        QCOMPARE(Clipboard(), QStringLiteral("011\n101\n10\n1"));

        w.SelectAll();
        w.m_rawValues = [](uint32_t&, uint32_t&, std::vector<uint8_t>&) { return false; };
        std::unique_ptr<QMenu> selected(w.CreateContextMenu(nullptr));
        check(selected.get(), {true, true, true, true, false});

        // A right-click opens the same menu.
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5),
                                w.viewport()->mapToGlobal(QPoint(5, 5)));
        QCoreApplication::sendEvent(w.viewport(), &click);
        auto* popup = w.findChild<QMenu*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(popup && popup->isVisible());
        check(popup, {true, true, true, true, false});
        popup->close();
    }

    void savesTheText() {
        CValueListing w;
        const std::string text = FrameText(5, 7);
        AppendOnThread(*w.SharedContent(), text);
        QTemporaryDir dir;
        QString proposed, path = dir.filePath(QStringLiteral("frame.txt")), warning;
        w.m_chooseSaveFile = [&](const QString& name) {
            proposed = name;
            return path;
        };
        w.m_showWarning = [&](const QString& text) { warning = text; };
        const QString today = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
        std::unique_ptr<QMenu> menu(w.CreateContextMenu(nullptr));
        ActionNamed(menu.get(), QStringLiteral("保存为文本…"))->trigger();
        QVERIFY2(QRegularExpression(QStringLiteral("^listing-\\d{8}-\\d{6}\\.txt$"))
                     .match(QFileInfo(proposed).fileName())
                     .hasMatch(),
                 qPrintable(proposed));
        QVERIFY(QFileInfo(proposed).fileName().mid(8, 8) >= today);
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray::fromStdString(text));
        QVERIFY(warning.isEmpty());

        path = dir.filePath(QStringLiteral("missing/frame.txt"));
        ActionNamed(menu.get(), QStringLiteral("保存为文本…"))->trigger();
        QVERIFY2(warning.contains(QDir::toNativeSeparators(path)) &&
                     warning.contains(QStringLiteral("文件夹不存在")),
                 qPrintable(warning));
        QVERIFY(!QFileInfo::exists(path));
    }

    void cArrayText() {
        // 18 columns wrap after 16; values align to the widest, 255.
        std::vector<uint8_t> values(2 * 18);
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<uint8_t>(i * 15 % 256);
        QCOMPARE(CArrayText("frame", 2, 18, values.data()),
                 std::string("const unsigned char frame[2][18] = {\n"
                             "    {  0,  15,  30,  45,  60,  75,  90, 105, 120, 135, 150, 165, "
                             "180, 195, 210, 225,\n"
                             "     240, 255},\n"
                             "    { 14,  29,  44,  59,  74,  89, 104, 119, 134, 149, 164, 179, "
                             "194, 209, 224, 239,\n"
                             "     254,  13}\n"
                             "};\n"));
        QCOMPARE(CArrayText("frame", 0, 18, values.data()), std::string());
        QCOMPARE(CArrayText("frame", 2, 0, values.data()), std::string());
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
        while (!Shows(w, text) && Clock::now() - first < std::chrono::seconds(10))
            QCoreApplication::processEvents();
        const Clock::time_point painted = Clock::now();
        QVERIFY(Shows(w, text));
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
