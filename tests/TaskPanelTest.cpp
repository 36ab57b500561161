// The navigation panel: one group of link items, clicks reported with ids.
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "ui/TaskPanel.h"

class TaskPanelTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        panel = std::make_unique<CTaskPanel>();
        panel->resize(210, 400);
        panel->AddGroup(61449, QStringLiteral("摄像头工具"));
        panel->AddLinkItem(61447, QStringLiteral("黑白数据"));
        panel->AddLinkItem(61448, QStringLiteral("彩色数据"));
        panel->SetSpecialGroup(61449);
        panel->show();
    }

    void itemsInOrderWithTheirCaptions() {
        QCOMPARE(panel->ItemIds(61449), (std::vector<int>{61447, 61448}));
        QCOMPARE(qobject_cast<QPushButton*>(panel->Item(61447))->text(),
                 QStringLiteral("黑白数据"));
        QCOMPARE(qobject_cast<QPushButton*>(panel->Item(61448))->text(),
                 QStringLiteral("彩色数据"));
        QCOMPARE(qobject_cast<QPushButton*>(panel->Item(61449))->text(),
                 QStringLiteral("摄像头工具"));
        // The second item sits below the first.
        QVERIFY(panel->Item(61448)->mapTo(panel.get(), QPoint()).y() >
                panel->Item(61447)->mapTo(panel.get(), QPoint()).y());
        QVERIFY(panel->grab().save(QCoreApplication::applicationDirPath() + "/task-panel.png"));
    }

    void clicksReportTheItemId() {
        QSignalSpy spy(panel.get(), &CTaskPanel::notify);
        QTest::mouseClick(panel->Item(61448), Qt::LeftButton);
        QTest::mouseClick(panel->Item(61447), Qt::LeftButton);
        QTest::mouseClick(panel->Item(61447), Qt::LeftButton);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy[0], (QList<QVariant>{CTaskPanel::kItemClicked, 61448}));
        QCOMPARE(spy[1], (QList<QVariant>{CTaskPanel::kItemClicked, 61447}));
        QCOMPARE(spy[2], (QList<QVariant>{CTaskPanel::kItemClicked, 61447}));
    }

    void groupCaptionTogglesWithAnotherCode() {
        QSignalSpy spy(panel.get(), &CTaskPanel::notify);
        QVERIFY(panel->Item(61447)->isVisible());
        QTest::mouseClick(panel->Item(61449), Qt::LeftButton);
        QVERIFY(!panel->Item(61447)->isVisible());
        QTest::mouseClick(panel->Item(61449), Qt::LeftButton);
        QVERIFY(panel->Item(61447)->isVisible());
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy[0], (QList<QVariant>{CTaskPanel::kGroupToggled, 61449}));
    }

    void keyboardActivatesAnItem() {
        QSignalSpy spy(panel.get(), &CTaskPanel::notify);
        panel->Item(61448)->setFocus();
        QTest::keyClick(panel->Item(61448), Qt::Key_Space);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy[0][1].toInt(), 61448);
    }

    void itemsWithoutAGroupAreIgnored() {
        CTaskPanel empty;
        empty.AddLinkItem(1, QStringLiteral("x"));
        QCOMPARE(empty.Item(1), nullptr);
        QVERIFY(empty.ItemIds(1).empty());
    }

private:
    std::unique_ptr<CTaskPanel> panel;
};

QTEST_MAIN(TaskPanelTest)
#include "TaskPanelTest.moc"
