// The window in English: every text of the main window, both pages, their
// menus and the stream format dialog is English (no Chinese left but the
// language button, which reads the same in both languages) and fits its
// control; the pages' layout in Chinese stays the templates'.
#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QtTest>
#include <memory>

#include "pages/BlackPage.h"
#include "pages/ColourPage.h"
#include "pages/ControlIds.h"
#include "pages/DiagnosisDialog.h"
#include "pages/DialogTemplate.h"
#include "settings/Translation.h"
#include "shell/AboutDialog.h"
#include "shell/MainFrame.h"
#include "shell/StreamFormatDialog.h"
#include "shell/TavixToolDoc.h"
#include "shell/TavixToolView.h"
#include "stream/StreamFormat.h"

namespace {

bool HasChinese(const QString& text) {
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u >= 0x3000 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

// The texts that stay as they are in both languages.
bool Bilingual(const QString& text) {
    return text == QStringLiteral("语言 / Language") || text == QStringLiteral("中文");
}

// The room a control gives its text, and the text; empty for a control
// without one.
struct Room {
    QString text;
    int needed = 0;
    int available = 0;
    int line = 0, width = 0;  // a wrapping label's text on one line, and its width
};

Room RoomOf(QWidget* w) {
    Room r;
    const QFontMetrics fm = w->fontMetrics();
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->textFormat() == Qt::RichText || label->text().contains(QLatin1Char('<')))
            r.text = QTextDocumentFragment::fromHtml(label->text()).toPlainText();
        else
            r.text = label->text();
        const QRect box = label->contentsRect();
        if (label->wordWrap()) {
            // Wrapped lines must fit in the height.
            r.needed = fm.boundingRect(box, Qt::TextWordWrap, r.text).height();
            r.available = box.height();
            r.line = fm.horizontalAdvance(r.text);
            r.width = box.width();
            // A word longer than the width is cut, not wrapped.
            for (const QString& word : r.text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                if (fm.horizontalAdvance(word) > box.width())
                    r.needed = r.available + 1;
        } else {
            r.needed = fm.horizontalAdvance(r.text);
            r.available = box.width();
        }
    } else if (auto* check = qobject_cast<QCheckBox*>(w)) {
        QStyleOptionButton option;
        option.initFrom(check);
        r.text = check->text();
        r.needed = fm.horizontalAdvance(r.text);
        r.available =
            check->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, check).width();
    } else if (auto* radio = qobject_cast<QRadioButton*>(w)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        r.text = radio->text();
        r.needed = fm.horizontalAdvance(r.text);
        r.available =
            radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio).width();
    } else if (auto* push = qobject_cast<QPushButton*>(w)) {
        // Text, icon, the style's margins and frame (as QCommonStyle sizes a
        // push button, without a style's smallest width).
        QStyle* style = push->style();
        r.text = push->text();
        r.needed = fm.horizontalAdvance(r.text) +
                   (push->icon().isNull() ? 0 : push->iconSize().width() + 4) +
                   style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, push) +
                   2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, push);
        r.available = push->width();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        r.text = button->text();
        r.needed = fm.horizontalAdvance(r.text);
        r.available = button->contentsRect().width();
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        // A placeholder is read while the box is empty.
        r.text = edit->text().isEmpty() ? edit->placeholderText() : QString();
        QStyleOptionFrame option;
        option.initFrom(edit);
        r.needed = fm.horizontalAdvance(r.text);
        r.available =
            edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width() - 4;
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
        r.text = box->title();
        r.needed = fm.horizontalAdvance(r.text);
        r.available = box->width() - 16;
    }
    return r;
}

// Every shown widget under `top` with a text that is Chinese or too wide.
QStringList Faults(QWidget* top) {
    QStringList faults;
    QList<QWidget*> widgets = top->findChildren<QWidget*>();
    widgets.prepend(top);
    for (QWidget* w : widgets) {
        for (QAction* a : w->actions())
            for (const QString& t : {a->text(), a->toolTip(), a->statusTip()})
                if (HasChinese(t) && !Bilingual(t))
                    faults << QStringLiteral("action \"%1\"").arg(t);
        if (!w->isVisibleTo(top) && w != top)
            continue;
        // An icon-only tool button shows no text.
        if (auto* tool = qobject_cast<QToolButton*>(w))
            if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly && !tool->icon().isNull())
                continue;
        const Room r = RoomOf(w);
        const QString name = QStringLiteral("%1 \"%2\"")
                                 .arg(QString::fromLatin1(w->metaObject()->className()), r.text);
        if (!Bilingual(r.text) && HasChinese(r.text))
            faults << name + QStringLiteral(": Chinese");
        if (!r.text.isEmpty() && r.needed > r.available)
            faults << name + QStringLiteral(": needs %1 px, has %2 (one line %3 px, width %4)")
                                 .arg(r.needed)
                                 .arg(r.available)
                                 .arg(r.line)
                                 .arg(r.width);
        for (const QString& tip : {w->toolTip(), w->statusTip(), w->windowTitle()})
            if (HasChinese(tip) && !Bilingual(tip))
                faults << name + QStringLiteral(": Chinese tip or title \"%1\"").arg(tip);
    }
    return faults;
}

}  // namespace

class EnglishWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(dir.isValid());
        settings = dir.filePath("DevSet.ini").toStdString();
    }

    void cleanup() {
        frame.reset();
        if (translator != nullptr) {
            QCoreApplication::removeTranslator(translator.get());
            translator.reset();
        }
        tx::SetLanguage(tx::Language::Chinese);
    }

    // Both pages, the toolbars and the status bar in English, at the
    // window's smallest size and maximized.
    void everyTextEnglishAndFitting() {
        UseEnglish();
        MakeFrame();
        CTavixToolView* view = frame->GetActiveView();
        for (int id : {CTavixToolView::kBlackPageId, CTavixToolView::kColourPageId}) {
            view->ShowPage(id);
            QCoreApplication::processEvents();
            const QStringList faults = Faults(frame.get());
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        }
        // The menus the pages and the listing open.
        for (CCapturePage* page : view->CapturePages()) {
            QVERIFY(page->PictureMenu() != nullptr);
            const QStringList faults = Faults(page->PictureMenu());
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
        }
        QCOMPARE(view->m_pBlackPage->Control(IDC_CAPTURE_ONE)->property("text").toString(),
                 QStringLiteral("Capture one"));
        QCOMPARE(frame->windowTitle().contains(QStringLiteral("Camera test tool")), true);

        // The toolbars' row fits a 1366-pixel screen, as the Chinese one does.
        QVERIFY2(ToolbarRow() <= 1366, qPrintable(QString::number(ToolbarRow())));

        CStreamFormatDialog dialog(stream::CStreamFormat(), frame.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QStringList faults = Faults(&dialog);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // The dialogs the pages and the window open: the diagnosis with a
    // suggestion for the other page and a baud rate, and the about box.
    void dialogsInEnglish() {
        UseEnglish();
        CDiagnosisReport report;
        report.confident = true;
        report.headerFound = true;
        report.suggestRows = 60;
        report.suggestColumns = 80;
        report.suggestColour = true;
        report.baud = 9600;
        report.suggestBaud = 115200;
        CDiagnosisDialog diagnosis(report, false, nullptr);
        diagnosis.show();
        QVERIFY(QTest::qWaitForWindowExposed(&diagnosis));
        QCOMPARE(diagnosis.m_note->text(),
                 QStringLiteral("The data are U,Y,V color frames: capture on the \"Color data\" "
                                "page. Set the baud rate to 115200 in the serial settings bar."));
        QStringList faults = Faults(&diagnosis);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));

        CAboutDialog about(nullptr);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        faults = Faults(&about);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // A capture's stop caption and the idle caption it returns to are
    // recognised in English: the button starts and stops.
    void captureButtonsWorkInEnglish() {
        UseEnglish();
        MakeFrame();
        CBlackPage* page = frame->GetActiveView()->m_pBlackPage;
        frame->GetActiveView()->ShowPage(CTavixToolView::kBlackPageId);
        auto* one = qobject_cast<QPushButton*>(page->Control(IDC_CAPTURE_ONE));
        QCOMPARE(one->text(), QStringLiteral("Capture one"));
        QCOMPARE(CCapturePage::StopText(), QStringLiteral("Stop capture"));
    }

    // The Chinese pages keep the templates' geometry: the English fitting
    // moves nothing there.
    void chineseLayoutUnchanged() {
        MakeFrame();
        QVERIFY2(ToolbarRow() <= 1366, qPrintable(QString::number(ToolbarRow())));
        for (CCapturePage* page : frame->GetActiveView()->CapturePages()) {
            CDialogTemplate t;
            QVERIFY(t.Load(page == frame->GetActiveView()->m_pBlackPage ? 102 : 103));
            QDialog reference;
            t.Build(reference);
            for (const DialogControl& c : t.Controls()) {
                if (c.id == -1)
                    continue;
                QWidget* shown = page->Control(c.id);
                QWidget* built = CDialogTemplate::Control(reference, c.id);
                QVERIFY(shown != nullptr && built != nullptr);
                if (c.id == IDC_PICTURE || c.id == IDC_VALUES || c.kind == ControlKind::Link)
                    continue;  // replaced and resized by the page; links take their text's size
                QCOMPARE(shown->geometry(), built->geometry());
            }
        }
    }

private:
    // The width the main toolbar and the serial settings bar take side by side.
    int ToolbarRow() const {
        return frame->m_wndToolBar->sizeHint().width() + frame->m_wndSerialBar->sizeHint().width();
    }

    void UseEnglish() {
        translator = std::make_unique<QTranslator>();
        QVERIFY(translator->load(QStringLiteral(":/i18n/tavixtool_en.qm")));
        QCoreApplication::installTranslator(translator.get());
        tx::SetLanguage(tx::Language::English);
    }

    void MakeFrame() {
        frame = std::make_unique<CMainFrame>(&document, settings);
        frame->m_showMessage = [](const QString&, const QString&) {};
        QVERIFY(frame->Create());
        frame->GetActiveView()->OnInitialUpdate();
        frame->showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }

    QTemporaryDir dir;
    std::string settings;
    CTavixToolDoc document;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<QTranslator> translator;
};

QTEST_MAIN(EnglishWindowTest)
#include "EnglishWindowTest.moc"
