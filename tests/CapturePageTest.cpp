// The two capture pages on screen (offscreen), driven through their controls
// and a real pseudo-terminal.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "FakePortOwner.h"
#include "pages/BlackPage.h"
#include "pages/ColourPage.h"
#include "pages/ControlIds.h"
#include "serial/PortDevices.h"
#include "tools/camsim/CameraBoard.h"
#include "tools/camsim/FrameSource.h"
#include "tools/camsim/PseudoTerminal.h"
#include "ui/ValueListing.h"

namespace {

uint32_t Gray(uint8_t v) {
    return (uint32_t{v} << 16) | (uint32_t{v} << 8) | v;
}

template <typename Page>
QString Status(Page& page) {
    return qobject_cast<QLabel*>(page.Control(IDC_STATUS))->text();
}
template <typename Page>
QLineEdit* Box(Page& page, int id) {
    return qobject_cast<QLineEdit*>(page.Control(id));
}
template <typename Page>
QPushButton* Button(Page& page, int id) {
    return qobject_cast<QPushButton*>(page.Control(id));
}

}  // namespace

class CapturePageTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(dir.isValid());
        settings = dir.filePath("DevSet.ini").toStdString();
        std::remove(settings.c_str());
        QVERIFY(board.Open());
        SetPortDevicePath(9, board.DevicePath());
        SetPortOwner(&owner);
        host = std::make_unique<QWidget>();
        host->resize(1300, 1300);
    }
    void cleanup() {
        host.reset();
        SetPortOwner(nullptr);
        owner.ClosePort();
        SetPortDevicePath(9, "");
        board.Close();
    }

    void freshPageShowsDefaults() {
        auto page = MakeBlack();
        QCOMPARE(Box(*page, IDC_ROWS)->text(), QStringLiteral("0"));
        QCOMPARE(Box(*page, IDC_THRESHOLD)->text(), QStringLiteral("0"));
        QVERIFY(qobject_cast<QCheckBox*>(page->Control(IDC_SHOW_IMAGE))->isChecked());
        QVERIFY(!qobject_cast<QCheckBox*>(page->Control(IDC_SHOW_BINARY))->isChecked());
        QVERIFY(qobject_cast<QRadioButton*>(page->Control(IDC_ONE_TO_ONE))->isChecked());
        QVERIFY(!page->Control(IDC_THRESHOLD)->isEnabled());
        QCOMPARE(int(page->m_byHeader), 255);
        QCOMPARE(Status(*page), QStringLiteral("Tavix工作室欢迎您使用TavixTool！"));
        Button(*page, IDC_CAPTURE_ONE)->click();
        QCOMPARE(Status(*page), QStringLiteral("整幅图的显示行数必须大于0"));
        QCOMPARE(Button(*page, IDC_CAPTURE_ONE)->text(), QStringLiteral("采集一幅图"));
    }

    void validationMessagesInOrder() {
        auto page = MakeBlack();
        auto click = [&] {
            Button(*page, IDC_CAPTURE_ONE)->click();
            return Status(*page);
        };
        Box(*page, IDC_ROWS)->setText("abc");
        QCOMPARE(click(), QStringLiteral("整幅图的显示行数必须大于0"));
        Box(*page, IDC_ROWS)->setText("-3");
        QCOMPARE(click(), QStringLiteral("整幅图的显示行数必须大于0"));
        Box(*page, IDC_ROWS)->setText("12abc");
        Box(*page, IDC_COLUMNS)->setText("");
        QCOMPARE(click(), QStringLiteral("请输入图像列数"));
        QCOMPARE(page->m_nRows, 12u);
        Box(*page, IDC_COLUMNS)->setText("10000");
        QCOMPARE(click(), QStringLiteral("图像列数不能大于9999"));
        Box(*page, IDC_COLUMNS)->setText("16");
        Box(*page, IDC_COLUMN_GAP)->setText("-1");
        QCOMPARE(click(), QStringLiteral("间隔列数必须在0到1000之间"));
        Box(*page, IDC_COLUMN_GAP)->setText("0");
        Box(*page, IDC_ROW_GAP)->setText("1001");
        QCOMPARE(click(), QStringLiteral("间隔行数必须在0到1000之间"));
        Box(*page, IDC_ROW_GAP)->setText("0");
        Box(*page, IDC_THRESHOLD)->setText("");  // disabled, and still checked
        QCOMPARE(click(), QStringLiteral("请输入二值化阀值"));
        // Both display options off: that message first, whatever the boxes hold.
        qobject_cast<QCheckBox*>(page->Control(IDC_SHOW_IMAGE))->click();
        QVERIFY(!page->Control(IDC_ROWS)->isEnabled());
        QCOMPARE(click(), QStringLiteral("请至少选择一项显示方式：“串口图像”或“二值化图像”"));
        QCOMPARE(Button(*page, IDC_CAPTURE_ONE)->text(), QStringLiteral("采集一幅图"));
    }

    void singleFrameCaptureDrawsAndLists() {
        auto page = MakeBlack();
        Box(*page, IDC_ROWS)->setText("2");
        Box(*page, IDC_COLUMNS)->setText("3");
        qobject_cast<QCheckBox*>(page->Control(IDC_SHOW_BINARY))->click();
        Box(*page, IDC_THRESHOLD)->setText("100");
        Button(*page, IDC_CAPTURE_ONE)->click();
        QCOMPARE(Button(*page, IDC_CAPTURE_ONE)->text(), QStringLiteral("停止采集"));
        QTRY_VERIFY(!page->Control(IDC_CAPTURE_CONTINUOUS)->isEnabled());
        QVERIFY(!page->Control(IDC_ROWS)->isEnabled());
        QVERIFY(Button(*page, IDC_CAPTURE_ONE)->isEnabled());
        QTest::qWait(200);
        const std::vector<uint8_t> wire = {255, 50, 150, 200, 100, 101, 0};
        QVERIFY(board.WriteAll(wire.data(), wire.size()));
        QTRY_COMPARE_WITH_TIMEOUT(Button(*page, IDC_CAPTURE_ONE)->text(),
                                  QStringLiteral("采集一幅图"), 5000);
        QTRY_VERIFY(page->Control(IDC_CAPTURE_CONTINUOUS)->isEnabled());
        QCOMPARE(page->m_editValues->Text(), std::string("011\n010\n"));
        QCOMPARE(page->m_wndPicture.PixelAt(1, 0), Gray(150));
        QCOMPARE(page->m_wndPicture.PixelAt(2, 1), Gray(0));
        QTRY_COMPARE(Status(*page), QStringLiteral("Tavix工作室欢迎您使用TavixTool！"));
    }

    void fullListingFollowsTheLastByteQuickly() {
        auto page = MakeBlack();
        camsim::FrameSource source(120, 160, false, camsim::Pattern::Gradient);
        const std::vector<uint8_t> frame = source.Frame(0);
        Box(*page, IDC_ROWS)->setText("120");
        Box(*page, IDC_COLUMNS)->setText("160");
        qobject_cast<QCheckBox*>(page->Control(IDC_SHOW_BINARY))->click();
        Box(*page, IDC_THRESHOLD)->setText("100");
        Button(*page, IDC_CAPTURE_ONE)->click();
        QTest::qWait(200);
        const std::vector<uint8_t> wire = camsim::WireFrame(255, frame);
        QVERIFY(board.WriteAll(wire.data(), wire.size()));
        QElapsedTimer timer;
        timer.start();
        QTRY_COMPARE_WITH_TIMEOUT(page->m_editValues->Text().size(), size_t{19320}, 5000);
        const qint64 listed = timer.elapsed();
        QTRY_COMPARE_WITH_TIMEOUT(Button(*page, IDC_CAPTURE_ONE)->text(),
                                  QStringLiteral("采集一幅图"), 5000);
        qInfo(
            "120 x 160 frame: listing complete %lld ms after its last byte was written, capture "
            "ended after %lld ms",
            static_cast<long long>(listed), static_cast<long long>(timer.elapsed()));
        // Every listed pixel against the threshold, row by row.
        const std::string text = page->m_editValues->Text();
        for (int r = 0; r < 120; ++r)
            for (int c = 0; c < 160; ++c)
                QCOMPARE(text[r * 161 + c], frame[r * 160 + c] > 100 ? '1' : '0');
        QVERIFY(listed < 2000);
    }

    void enlargedGrayFrameIsExact() {
        auto page = MakeBlack();
        camsim::FrameSource source(30, 40, false, camsim::Pattern::Gradient);
        const std::vector<uint8_t> frame = source.Frame(5);
        Box(*page, IDC_ROWS)->setText("30");
        Box(*page, IDC_COLUMNS)->setText("40");
        qobject_cast<QRadioButton*>(page->Control(IDC_SCALE_TO_AREA))->click();
        Button(*page, IDC_CAPTURE_ONE)->click();
        QTest::qWait(200);
        const std::vector<uint8_t> wire = camsim::WireFrame(255, frame);
        QVERIFY(board.WriteAll(wire.data(), wire.size()));
        QTRY_COMPARE_WITH_TIMEOUT(Button(*page, IDC_CAPTURE_ONE)->text(),
                                  QStringLiteral("采集一幅图"), 5000);
        const int block = std::min(page->m_nAreaWidth / 40, page->m_nAreaHeight / 30);
        QVERIFY(block >= 2);
        for (int r = 0; r < 30; ++r)
            for (int c = 0; c < 40; ++c)
                QCOMPARE(page->m_wndPicture.PixelAt(c * block + block - 1, r * block),
                         Gray(frame[r * 40 + c]));
        const QImage shot = page->grab().toImage();
        QVERIFY(shot.save(QCoreApplication::applicationDirPath() + "/page-102.png"));
    }

    void continuousCaptureStopsOnRequest() {
        auto page = MakeBlack();
        StartContinuous(*page, "10", "10");
        for (int i = 0; i < 3; ++i) {
            const std::vector<uint8_t> wire =
                camsim::WireFrame(255, std::vector<uint8_t>(100, 40 * i));
            QVERIFY(board.WriteAll(wire.data(), wire.size()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(page->m_wndPicture.PixelAt(9, 9), Gray(80), 5000);
        Button(*page, IDC_CAPTURE_CONTINUOUS)->click();  // "停止采集"
        QTRY_COMPARE_WITH_TIMEOUT(Button(*page, IDC_CAPTURE_CONTINUOUS)->text(),
                                  QStringLiteral("连续采集"), 3000);
        QVERIFY(page->Control(IDC_CAPTURE_ONE)->isEnabled());
        QVERIFY(page->Control(IDC_ROWS)->isEnabled());
    }

    void captureGoesOnWhileTheUiThreadIsBlocked() {
        auto page = MakeBlack();
        StartContinuous(*page, "30", "40");
        camsim::CameraBoard::Options options;
        options.rows = 30;
        options.columns = 40;
        options.baud = 921600;  // about 77 frames a second
        camsim::CameraBoard camera(board, options);
        std::atomic<uint64_t> sent{0};
        camera.SetFrameCallback([&](uint64_t, std::chrono::steady_clock::time_point) { ++sent; });
        QVERIFY(camera.Start());
        QTest::qWait(300);
        const CLinkStatistics before = page->GetLinkStatistics();
        std::this_thread::sleep_for(std::chrono::seconds(2));  // no events handled
        const CLinkStatistics during = page->GetLinkStatistics();
        QTest::qWait(300);
        const uint64_t sentSoFar = sent.load();
        const CLinkStatistics after = page->GetLinkStatistics();
        const camsim::CameraBoard::Statistics line = camera.Stats();
        // About 150 frames came during the block; a slow (sanitizer) build
        // may pass over some for newer ones, but drawing never waits.
        QVERIFY2(during.framesDrawn - before.framesDrawn >= 50,
                 qPrintable(QString::number(during.framesDrawn - before.framesDrawn)));
        QVERIFY(after.framesDrawn > during.framesDrawn);  // and it goes on
        // Nothing lost: every byte taken, every frame drawn or passed over
        // whole for a newer one (the last may be under way), none damaged.
        QCOMPARE(line.bytesDropped, uint64_t{0});
        QCOMPARE(after.resyncs, uint64_t{0});
        QVERIFY(after.framesStarted + after.framesSkipped + 1 >= sentSoFar);
        Button(*page, IDC_CAPTURE_CONTINUOUS)->click();
        camera.Stop();
        QTRY_COMPARE_WITH_TIMEOUT(Button(*page, IDC_CAPTURE_CONTINUOUS)->text(),
                                  QStringLiteral("连续采集"), 3000);
    }

    void enterActsAsCaptureOne() {
        auto page = MakeBlack();
        host->show();
        QVERIFY(QTest::qWaitForWindowActive(host.get()));
        Box(*page, IDC_ROWS)->setFocus();
        QTest::keyClick(Box(*page, IDC_ROWS), Qt::Key_Return);
        QCOMPARE(Status(*page), QStringLiteral("整幅图的显示行数必须大于0"));
    }

    void settingsWrittenOnDestroyWithoutAWord() {
        {
            std::ofstream ini(settings);
            ini << "; mine\n[Black]\ncolumn=80\nintercolumn=3\n[Colour]\nrow=7\n";
        }
        QStringList warnings;
        {
            auto black = MakeBlack();
            auto colour = MakeColour();
            for (auto* warn : {&black->m_showWarning, &colour->m_showWarning})
                *warn = [&](const QString& text) { warnings << text; };
            Box(*black, IDC_ROWS)->setText("60");
            Box(*black, IDC_THRESHOLD)->setText("128");
            Box(*black, IDC_COLUMNS)->setText("10000");   // out of range: not saved
            Box(*black, IDC_COLUMN_GAP)->setText("abc");  // no number: not saved
            Box(*colour, IDC_ROWS)->setText("");          // empty: not saved
            Box(*colour, IDC_COLUMNS)->setText("40");
        }
        // Nothing is said at exit (no window is left to own a box); every box
        // that passes its check is saved, each failing one keeps the file's value.
        QVERIFY(warnings.isEmpty());
        QCOMPARE(ReadFile(settings),
                 std::string("; mine\n[Black]\ncolumn=80\nintercolumn=3\nrow=60\nbnumbr=0\n"
                             "threshold=128\nbimage=1\ninterrow=0\n[Colour]\nrow=7\ncolumn=40\n"
                             "interrow=0\nintercolumn=0\n"));
    }

    void destroyedWhileCapturing() {
        auto page = MakeBlack();
        Box(*page, IDC_ROWS)->setText("60");
        Box(*page, IDC_COLUMNS)->setText("80");
        Button(*page, IDC_CAPTURE_CONTINUOUS)->click();
        QTRY_VERIFY(!page->Control(IDC_CAPTURE_ONE)->isEnabled());
        const std::vector<uint8_t> wire = camsim::WireFrame(255, std::vector<uint8_t>(4800, 9));
        QVERIFY(board.WriteAll(wire.data(), wire.size()));
        QElapsedTimer timer;
        timer.start();
        page.reset();
        QVERIFY(timer.elapsed() < 3000);
    }

    void colourPageScaleTakesEffectAtTheNextStart() {
        auto page = MakeColour();
        QCOMPARE(Box(*page, IDC_ROWS)->text(), QStringLiteral("0"));
        QVERIFY(!qobject_cast<QCheckBox*>(page->Control(IDC_COLOUR_SCALE_TO_AREA))->isChecked());
        qobject_cast<QCheckBox*>(page->Control(IDC_COLOUR_SCALE_TO_AREA))->click();
        QCOMPARE(page->m_bScaleRequest, 1);
        QCOMPARE(page->m_bScaleToArea, 0);  // not yet
        Box(*page, IDC_ROWS)->setText("120");
        Box(*page, IDC_COLUMNS)->setText("160");
        Button(*page, IDC_CAPTURE_ONE)->click();
        QCOMPARE(page->m_bScaleToArea, 1);
        QTRY_VERIFY(!page->Control(IDC_COLOUR_SCALE_TO_AREA)->isEnabled());
        Button(*page, IDC_CAPTURE_ONE)->click();  // stop
        QTRY_COMPARE_WITH_TIMEOUT(Button(*page, IDC_CAPTURE_ONE)->text(),
                                  QStringLiteral("采集一幅图"), 3000);
        QTRY_VERIFY(page->Control(IDC_COLOUR_SCALE_TO_AREA)->isEnabled());
        QCOMPARE(page->m_nFrameSize, 57600u);  // the engine's colour frame
        const QImage shot = page->grab().toImage();
        QVERIFY(shot.save(QCoreApplication::applicationDirPath() + "/page-103.png"));
    }

    void colourFrameOneToOneIsExact() {
        auto page = MakeColour();
        const std::vector<uint8_t> frame = {128, 16, 128, 128, 235, 128, 0, 255, 255};
        Box(*page, IDC_ROWS)->setText("1");
        Box(*page, IDC_COLUMNS)->setText("3");
        Button(*page, IDC_CAPTURE_ONE)->click();
        QTest::qWait(200);
        const std::vector<uint8_t> wire = camsim::WireFrame(255, frame);
        QVERIFY(board.WriteAll(wire.data(), wire.size()));
        QTRY_COMPARE_WITH_TIMEOUT(Button(*page, IDC_CAPTURE_ONE)->text(),
                                  QStringLiteral("采集一幅图"), 5000);
        QCOMPARE(page->m_wndPicture.PixelAt(0, 0), 0x000000u);
        QCOMPARE(page->m_wndPicture.PixelAt(1, 0), 0xFEFEFEu);
        QCOMPARE(page->m_wndPicture.PixelAt(2, 0), 0xFFE013u);
        QCOMPARE(page->m_wndPicture.PixelAt(3, 0), 0xF0F0F0u);
    }

private:
    template <typename Page>
    std::unique_ptr<Page> Make() {
        auto page = std::make_unique<Page>(settings);
        page->m_showWarning = [](const QString&) {};
        if (!page->Create(host.get()))
            return nullptr;
        page->show();
        return page;
    }
    std::unique_ptr<CBlackPage> MakeBlack() { return Make<CBlackPage>(); }
    // Starts a continuous capture of rows x columns on a grayscale page and
    // waits until its port has been opened and purged.
    static void StartContinuous(CBlackPage& page, const char* rows, const char* columns) {
        Box(page, IDC_ROWS)->setText(rows);
        Box(page, IDC_COLUMNS)->setText(columns);
        Button(page, IDC_CAPTURE_CONTINUOUS)->click();
        QVERIFY(QTest::qWaitFor([&] { return !page.Control(IDC_CAPTURE_ONE)->isEnabled(); }));
        QTest::qWait(200);
    }
    std::unique_ptr<CColourPage> MakeColour() { return Make<CColourPage>(); }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    QTemporaryDir dir;
    std::string settings;
    camsim::PseudoTerminal board;
    FakePortOwner owner;
    std::unique_ptr<QWidget> host;
};

QTEST_MAIN(CapturePageTest)
#include "CapturePageTest.moc"
