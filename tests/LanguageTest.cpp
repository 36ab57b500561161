// The window in both languages, offscreen: in English no Chinese text is
// left on the main window, its pages and dialogs; in both languages every
// text fits its control, both show the same controls on each page (the
// pictures of each page are written for a look: tests/screens/<language>-*.png
// in the build tree); the language choice is kept and offers a restart; and a
// settings file written in one language reads the same in the other.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTranslator>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "capture/StreamDiagnosis.h"
#include "pages/BlackPage.h"
#include "pages/ColourPage.h"
#include "pages/DiagnosisDialog.h"
#include "settings/LanguageSetting.h"
#include "settings/Translation.h"
#include "shell/AboutDialog.h"
#include "shell/MainFrame.h"
#include "shell/ReplayBar.h"
#include "shell/StreamFormatDialog.h"
#include "shell/TavixToolDoc.h"
#include "shell/TavixToolView.h"

namespace {

const QRegularExpression kChinese(QStringLiteral("[\\x{3000}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));

// The language button and its Chinese entry are named in both languages.
bool Bilingual(const QString& text) {
    return text == QStringLiteral("语言 / Language") || text == QStringLiteral("中文");
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A text shown somewhere, named by where it is.
struct Shown {
    QString where;
    QString text;
};

QString Where(const QWidget* w) {
    QString path;
    for (const QObject* o = w; o != nullptr; o = o->parent()) {
        QString name = QString::fromLatin1(o->metaObject()->className());
        if (!o->objectName().isEmpty())
            name += QLatin1Char('#') + o->objectName();
        else if (o->parent() != nullptr)
            name += QStringLiteral("[%1]").arg(o->parent()->children().indexOf(o));
        path = path.isEmpty() ? name : name + QLatin1Char('/') + path;
    }
    return path;
}

QString Plain(QString text) {
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return text;
}

// Every text of `root` and the widgets and actions under it that a user can
// see or point at: captions, entries, titles, tooltips and status tips.
QList<Shown> Texts(QWidget* root) {
    QList<Shown> out;
    auto add = [&out](const QString& where, const QString& text) {
        if (!text.trimmed().isEmpty() && !Bilingual(text))
            out.push_back({where, text});
    };
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(root) && w != root && qobject_cast<QMenu*>(w) == nullptr)
            continue;
        const QString where = Where(w);
        if (w->isWindow())
            add(where + ":title", w->windowTitle());
        add(where + ":tooltip", w->toolTip());
        add(where + ":statustip", w->statusTip());
        if (auto* label = qobject_cast<QLabel*>(w))
            add(where, label->text());
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            add(where, button->text());
        else if (auto* group = qobject_cast<QGroupBox*>(w))
            add(where, group->title());
        else if (auto* combo = qobject_cast<QComboBox*>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                add(where + QStringLiteral(":item%1").arg(i), combo->itemText(i));
        } else if (auto* edit = qobject_cast<QLineEdit*>(w))
            add(where + ":placeholder", edit->placeholderText());
        for (QAction* a : w->actions()) {
            add(where + ":action", a->text());
            add(where + ":action-tooltip", a->toolTip());
            add(where + ":action-statustip", a->statusTip());
        }
    }
    return out;
}

// A visible control whose text is wider (or, wrapped, taller) than the
// control shows.
QMap<QString, QString> Clipped(QWidget* root) {
    QMap<QString, QString> out;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root) || w->width() <= 0)
            continue;
        const QFontMetrics fm = w->fontMetrics();
        int need = 0;
        int have = w->width();
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            if (label->text().isEmpty() || label->pixmap().cacheKey() != 0)
                continue;
            text = label->text();
            if (label->wordWrap()) {
                if (label->heightForWidth(label->width()) > label->height() + 1)
                    out[Where(w)] = QStringLiteral(": \"%1\" needs %2 px of height, has %3")
                                        .arg(text)
                                        .arg(label->heightForWidth(label->width()))
                                        .arg(label->height());
                continue;
            }
            for (const QString& line : Plain(text).split(QLatin1Char('\n')))
                need = std::max(need, fm.horizontalAdvance(line));
            need += 2 * label->margin() + label->indent() * (label->indent() > 0);
            have = label->contentsRect().width();
        } else if (auto* box = qobject_cast<QAbstractButton*>(w)) {
            if (box->text().isEmpty() || qobject_cast<QToolButton*>(w) != nullptr)
                continue;
            text = box->text();
            need = fm.horizontalAdvance(Plain(text));
            if (!box->icon().isNull())
                need += box->iconSize().width() + 4;
            if (qobject_cast<QCheckBox*>(w) != nullptr || qobject_cast<QRadioButton*>(w) != nullptr)
                need += w->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                        w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
            else
                need += 4;  // the button's frame
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            if (group->title().isEmpty())
                continue;
            text = group->title();
            need = fm.horizontalAdvance(Plain(text)) + 12;
        } else {
            continue;
        }
        if (need > have + 1)
            out[Where(w)] =
                QStringLiteral(": \"%1\" needs %2 px, has %3").arg(text).arg(need).arg(have);
    }
    return out;
}

// The visible controls of a page, by where they are: the same set in both
// languages.
QStringList Controls(QWidget* root) {
    QStringList out;
    for (QWidget* w : root->findChildren<QWidget*>())
        if (w->isVisibleTo(root) &&
            (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
             qobject_cast<QComboBox*>(w) || qobject_cast<QLineEdit*>(w) ||
             qobject_cast<QAbstractSpinBox*>(w)))
            out << Where(w);
    out.sort();
    return out;
}

// A few frames of a 60 × 80 grayscale board, header 255: enough for a
// confident diagnosis.
std::vector<uint8_t> Stream() {
    std::vector<uint8_t> bytes;
    for (int f = 0; f < 6; ++f) {
        bytes.push_back(255);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x)
                bytes.push_back(static_cast<uint8_t>((x * 3 + y * 2 + (x * y) % 7) % 250));
    }
    return bytes;
}

}  // namespace

class LanguageTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(dir.isValid());
        settings = dir.filePath("DevSet.ini").toStdString();
        std::remove(settings.c_str());
    }
    void cleanup() {
        frame.reset();
        SetLanguage(tx::Language::Chinese);
    }

    // The window, its two pages and its dialogs in each language.
    void everyTextIsEnglishAndFits() {
        QMap<QString, QStringList> chineseControls;
        QMap<QString, QString> chineseClipped;
        for (const tx::Language language : {tx::Language::Chinese, tx::Language::English}) {
            const bool english = language == tx::Language::English;
            const QString code = QString::fromLatin1(tx::LanguageCode(language));
            SetLanguage(language);
            MakeFrame();
            QList<Shown> texts;
            QMap<QString, QString> clipped;
            const QString shots = QDir::current().filePath(QStringLiteral("screens"));
            QDir().mkpath(shots);

            CTavixToolView* view = frame->GetActiveView();
            const std::pair<int, const char*> pages[] = {{CTavixToolView::kBlackPageId, "black"},
                                                         {CTavixToolView::kColourPageId, "colour"}};
            for (const auto& [id, name] : pages) {
                view->ShowPage(id);
                QTest::qWait(50);
                texts += Texts(frame.get());
                clipped.insert(Clipped(frame.get()));
                const QStringList controls = Controls(frame.get());
                if (!english)
                    chineseControls[name] = controls;
                else {
                    QStringList differ;
                    for (const QString& c : controls)
                        if (!chineseControls[name].contains(c))
                            differ << QStringLiteral("only in English: ") + c;
                    for (const QString& c : chineseControls[name])
                        if (!controls.contains(c))
                            differ << QStringLiteral("only in Chinese: ") + c;
                    QVERIFY2(differ.isEmpty(), qPrintable(differ.join('\n')));
                }
                QVERIFY(frame->grab().save(
                    QStringLiteral("%1/%2-%3.png").arg(shots, code, QLatin1String(name))));
            }

            {  // the dialogs go before their parent, the window
                // The dialogs, each shown once.
                std::vector<std::pair<QWidget*, const char*>> dialogs;
                CStreamFormatDialog format(stream::Presets()[2].format, frame.get());
                const std::vector<uint8_t> bytes = Stream();
                CDiagnosisContext context;
                context.baud = 921600;
                context.seconds = 0.5;
                CDiagnosisDialog diagnosis(Diagnose(bytes.data(), bytes.size(), context), false,
                                           frame.get());
                CAboutDialog about(frame.get());
                dialogs = {{&format, "format"}, {&diagnosis, "diagnosis"}, {&about, "about"}};
                for (const auto& [dialog, name] : dialogs) {
                    dialog->show();
                    QVERIFY(QTest::qWaitForWindowExposed(dialog));
                    texts += Texts(dialog);
                    clipped.insert(Clipped(dialog));
                    QVERIFY(dialog->grab().save(
                        QStringLiteral("%1/%2-%3.png").arg(shots, code, QLatin1String(name))));
                    dialog->hide();
                }
            }
            frame->GetReplayBar()->show();
            texts += Texts(frame->GetReplayBar());
            clipped.insert(Clipped(frame->GetReplayBar()));
            frame->GetReplayBar()->hide();

            // A control that the Chinese window clips as well keeps the
            // window's own layout (a caption wrapped in a narrow box).
            if (!english) {
                chineseClipped = clipped;
            } else {
                QStringList worse;
                for (auto it = clipped.cbegin(); it != clipped.cend(); ++it)
                    if (!chineseClipped.contains(it.key()))
                        worse << it.key() + QStringLiteral(": ") + it.value();
                QVERIFY2(worse.isEmpty(),
                         qPrintable(QStringLiteral("Clipped in English:\n") + worse.join('\n')));
            }
            if (english) {
                QStringList chinese;
                for (const Shown& s : texts)
                    if (s.text.contains(kChinese))
                        chinese << s.where + QStringLiteral(": ") + s.text;
                chinese.removeDuplicates();
                QVERIFY2(
                    chinese.isEmpty(),
                    qPrintable(QStringLiteral("Chinese left in English:\n") + chinese.join('\n')));
            }
            QVERIFY(texts.size() > 40);
            frame.reset();
        }
    }

    // "English" is kept in the settings file and a restart is offered;
    // going back to the language shown asks nothing.
    void choosingALanguageKeepsItAndOffersARestart() {
        MakeFrame();
        QStringList asked;
        bool answer = false;
        frame->m_askRestart = [&](const QString& text) {
            asked << text;
            return answer;
        };
        QSignalSpy restart(frame.get(), &CMainFrame::restartRequested);
        QCOMPARE(frame->m_actLanguage->text(), QStringLiteral("语言 / Language"));
        QVERIFY(frame->m_actChinese->isChecked());

        frame->m_actEnglish->trigger();
        QCOMPARE(ReadWindowLanguage(settings), tx::Language::English);
        QCOMPARE(asked.size(), 1);
        QVERIFY(!asked[0].contains(kChinese));  // asked in the language chosen
        QCOMPARE(restart.count(), 0);           // declined: English at the next start
        QVERIFY(frame->m_actEnglish->isChecked() && !frame->m_actChinese->isChecked());

        frame->m_actChinese->trigger();  // the language shown: nothing to restart for
        QCOMPARE(ReadWindowLanguage(settings), tx::Language::Chinese);
        QCOMPARE(asked.size(), 1);

        answer = true;
        frame->m_actEnglish->trigger();
        QCOMPARE(asked.size(), 2);
        QCOMPARE(restart.count(), 1);
        QTRY_VERIFY(!frame->isVisible());  // closed, so that everything is saved first
        QVERIFY(ReadAll(settings).find("language=en") != std::string::npos);
    }

    // The settings a user makes in one language read the same in the other,
    // and are written back the same.
    void settingsFileReadsTheSameInBothLanguages() {
        SetLanguage(tx::Language::Chinese);
        MakeFrame();
        const int formatIndex = 3;
        QVERIFY(frame->m_wndFormatCombo->count() > formatIndex + 1);
        frame->m_wndFormatCombo->setCurrentIndex(formatIndex);
        emit frame->m_wndFormatCombo->activated(formatIndex);
        frame->m_wndHeaderSpin->setValue(7);
        frame->close();
        frame.reset();
        const std::string chinese = ReadAll(settings);
        QVERIFY(!chinese.empty());

        SetLanguage(tx::Language::English);
        MakeFrame();
        QCOMPARE(frame->m_wndFormatCombo->currentIndex(), formatIndex);
        QCOMPARE(frame->m_wndHeaderSpin->value(), 7);
        frame->close();
        frame.reset();
        QCOMPARE(ReadAll(settings), chinese);

        SetLanguage(tx::Language::Chinese);
        MakeFrame();
        QCOMPARE(frame->m_wndFormatCombo->currentIndex(), formatIndex);
        frame->close();
        frame.reset();
        QCOMPARE(ReadAll(settings), chinese);
    }

private:
    // The language as the program sets it at start-up: the engine's texts and
    // the window's translations.
    void SetLanguage(tx::Language language) {
        tx::SetLanguage(language);
        if (translator) {
            QCoreApplication::removeTranslator(translator.get());
            translator.reset();
        }
        if (language == tx::Language::English) {
            translator = std::make_unique<QTranslator>();
            QVERIFY(translator->load(QStringLiteral(":/i18n/tavixtool_en.qm")));
            QVERIFY(QCoreApplication::installTranslator(translator.get()));
        }
    }

    void MakeFrame() {
        frame = std::make_unique<CMainFrame>(&document, settings);
        frame->m_showMessage = [](const QString&, const QString&) {};
        QVERIFY(frame->Create());
        frame->GetActiveView()->OnInitialUpdate();
        frame->GetActiveView()->m_pBlackPage->m_showWarning = [](const QString&) {};
        frame->GetActiveView()->m_pColourPage->m_showWarning = [](const QString&) {};
        frame->resize(1366, 900);  // the smallest screen the toolbars fit on
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }

    QTemporaryDir dir;
    std::string settings;
    CTavixToolDoc document;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<QTranslator> translator;
};

QTEST_MAIN(LanguageTest)
#include "LanguageTest.moc"
