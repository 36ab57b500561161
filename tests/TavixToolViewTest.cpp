// The right-hand view: the start picture until a page is chosen, the two
// pages hidden at first, page switching and scrolling.
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "pages/BlackPage.h"
#include "pages/ColourPage.h"
#include "shell/TavixToolView.h"

class TavixToolViewTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(dir.isValid());
        view = std::make_unique<CTavixToolView>(dir.filePath("DevSet.ini").toStdString());
        view->resize(900, 700);
        view->OnInitialUpdate();
        // The pages warn about their empty size boxes when they are saved.
        view->m_pBlackPage->m_showWarning = [](const QString&) {};
        view->m_pColourPage->m_showWarning = [](const QString&) {};
        view->show();
    }
    void cleanup() { view.reset(); }

    void startsWithThePictureAndHiddenPages() {
        QCOMPARE(view->m_bmpStart.size(), QSize(2000, 1000));
        QVERIFY(view->m_bmpStart.format() == QImage::Format_Indexed8);
        QVERIFY(view->m_bmpStart.colorCount() <= 256);
        QVERIFY(view->m_pBlackPage != nullptr && view->m_pColourPage != nullptr);
        QVERIFY(!view->m_pBlackPage->isVisible());
        QVERIFY(!view->m_pColourPage->isVisible());
        QCOMPARE(view->widget()->size(), QSize(2000, 2000));  // whatever the window size
        const QImage shot = view->viewport()->grab().toImage();
        for (QPoint at : {QPoint(5, 5), QPoint(300, 200), QPoint(150, 150)})
            QCOMPARE(shot.pixel(at), view->m_bmpStart.pixel(at));
    }

    void scrollStepsAre20And200() {
        QScrollBar* v = view->verticalScrollBar();
        QCOMPARE(v->singleStep(), 20);
        QCOMPARE(v->pageStep(), 200);
        v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(v->value(), 20);
        v->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QCOMPARE(v->value(), 220);
        // The picture moved up with the content.
        const QImage shot = view->viewport()->grab().toImage();
        QCOMPARE(shot.pixel(300, 100), view->m_bmpStart.pixel(300, 320));
    }

    void navigationShowsOnePage() {
        QCOMPARE(view->ShowPage(CTavixToolView::kColourPageId), 1);
        QVERIFY(view->m_bPageShown);
        QVERIFY(view->m_pColourPage->isVisible());
        QVERIFY(view->m_pColourPage->isEnabled());
        QVERIFY(!view->m_pBlackPage->isVisible());
        QVERIFY(!view->m_pBlackPage->isEnabled());
        view->ShowPage(CTavixToolView::kBlackPageId);
        view->ShowPage(CTavixToolView::kBlackPageId);  // the same link twice
        QVERIFY(view->m_pBlackPage->isVisible());
        QVERIFY(!view->m_pColourPage->isVisible());
        // No way back to the start picture: other ids only hide both pages.
        view->ShowPage(12345);
        QVERIFY(view->m_bPageShown);
        QVERIFY(!view->m_pBlackPage->isVisible());
        QVERIFY(!view->m_pColourPage->isVisible());
        const QImage shot = view->viewport()->grab().toImage();
        QVERIFY(shot.pixel(300, 200) != view->m_bmpStart.pixel(300, 200));
    }

    void theStartPictureGoesFromTheScreenWhenAPageIsShown() {
        view->resize(1900, 1500);  // larger than a page: the canvas shows beside it
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QTest::qWait(50);
        const QPoint beside(view->m_pBlackPage->width() + 20, 20);
        QVERIFY(beside.x() < view->viewport()->width());
        auto onScreen = [&] {
            // What the window shows now, not a fresh rendering of it.
            const QPoint at = view->viewport()->mapTo(view.get(), beside);
            return view->screen()->grabWindow(view->winId()).toImage().pixel(at);
        };
        QCOMPARE(onScreen(), view->m_bmpStart.pixel(beside));
        view->ShowPage(CTavixToolView::kBlackPageId);
        QTRY_VERIFY(onScreen() != view->m_bmpStart.pixel(beside));
    }

    void repeatedInitialUpdateReusesThePages() {
        CBlackPage* black = view->m_pBlackPage;
        CColourPage* colour = view->m_pColourPage;
        view->OnInitialUpdate();
        QCOMPARE(view->m_pBlackPage, black);
        QCOMPARE(view->m_pColourPage, colour);
        QCOMPARE(view->widget()->findChildren<CBlackPage*>().size(), 1);
    }

private:
    QTemporaryDir dir;
    std::unique_ptr<CTavixToolView> view;
};

QTEST_MAIN(TavixToolViewTest)
#include "TavixToolViewTest.moc"
