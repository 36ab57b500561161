// The help command: binding chmlib at first use (once, also when it fails),
// the help window over the Help.chm and Help_en.chm built beside this test, the
// decoding of the CHM's GBK strings and pages, and the pages the capture pages'
// links open in the language shown.
#include <QApplication>
#include <QDir>
#include <QSet>
#include <QTextBlock>
#include <QTreeWidget>
#include <QtTest>

#include "help/HelpViewer.h"
#include "help/HtmlHelp.h"
#include "pages/CapturePage.h"
#include "settings/SettingsPath.h"
#include "settings/Translation.h"

namespace {

const char kTitle[] = "TavixTool 摄像头测试工具帮助";  // Title= of Help.hhp

std::string HelpFile() {
    return GetExeDirectory() + "Help.chm";
}

std::string EnglishHelpFile() {
    return GetExeDirectory() + HelpFileName(tx::Language::English);
}

CHelpViewer* Show(const std::string& path, const char* topic = nullptr) {
    return qobject_cast<CHelpViewer*>(
        ResolveHtmlHelp(nullptr, path, kHelpDisplayTopic, reinterpret_cast<uintptr_t>(topic)));
}

int HelpWindowCount() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<CHelpViewer*>(w) != nullptr)
            ++n;
    return n;
}

// Clicks the middle of the first link to `href` on the shown page.
bool ClickLink(QTextBrowser* browser, const QString& href) {
    QTextDocument* doc = browser->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!f.charFormat().isAnchor() || f.charFormat().anchorHref() != href)
                continue;
            QTextCursor cursor(doc);
            cursor.setPosition(f.position() + f.length() / 2);
            browser->setTextCursor(cursor);
            browser->ensureCursorVisible();
            const QPoint at = browser->cursorRect(cursor).center();
            QTest::mouseClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            return true;
        }
    }
    return false;
}

// The name of the first picture on the shown page.
QString FirstImageName(QTextBrowser* browser) {
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                return it.fragment().charFormat().toImageFormat().name();
    return QString();
}

// The topic paths of a sitemap (contents or index) stored in the help file,
// without their #fragment.
QSet<QString> SitemapTopics(const CChmArchive& archive, const QString& file) {
    QSet<QString> topics;
    const std::optional<QByteArray> bytes = archive.Read(file);
    if (!bytes)
        return topics;
    for (const CContentsEntry& e : ParseSitemap(DecodeCodePage(*bytes, "GBK")))
        topics.insert(e.local.section(QLatin1Char('#'), 0, 0));
    return topics;
}

// The entries of a sitemap (contents or index) stored in the help file,
// decoded with the code page of the file's language.
std::vector<CContentsEntry> Sitemap(const CHelpViewer* viewer, const QString& file) {
    const std::optional<QByteArray> bytes = viewer->m_archive.Read(file);
    if (!bytes)
        return {};
    return ParseSitemap(DecodeCodePage(*bytes, CodePageForLcid(viewer->m_system.lcid)));
}

// The Chinese characters and punctuation in a text (U+3000-U+9FFF,
// U+FF00-U+FFEF), once the texts allowed in English are taken out.
QString ChineseIn(QString text) {
    for (const char* allowed : {"语言 / Language", "中文"})
        text.remove(QString::fromUtf8(allowed));
    QString found;
    for (const QChar c : text)
        if ((c.unicode() >= 0x3000 && c.unicode() <= 0x9FFF) ||
            (c.unicode() >= 0xFF00 && c.unicode() <= 0xFFEF))
            found += c;
    return found;
}

// The names of every picture on the shown page.
QStringList ImageNames(QTextBrowser* browser) {
    QStringList names;
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                names << it.fragment().charFormat().toImageFormat().name();
    return names;
}

QTreeWidgetItem* FindItem(QTreeWidget* tree, const QString& name) {
    const QList<QTreeWidgetItem*> found =
        tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

QByteArray Record(uint16_t code, const QByteArray& data) {
    QByteArray r;
    r.append(char(code & 0xFF)).append(char(code >> 8));
    r.append(char(data.size() & 0xFF)).append(char(data.size() >> 8));
    return r + data;
}

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

private slots:
    void init() { ResetHtmlHelpBinding(); }
    void cleanupTestCase() { ResetHtmlHelpBinding(); }

    // --- Binding ---------------------------------------------------------

    void missingLibraryFailsOnceAndSilently() {
        SetHelpLibraryName("libtavix-no-such-help.so.1");
        QVERIFY(ResolveHtmlHelp(nullptr, HelpFile(), kHelpDisplayTopic, 0) == nullptr);
        QVERIFY(HtmlHelpFailed());
        QCOMPARE(HtmlHelpLoadAttempts(), 1);
        // The failure is remembered: no second load attempt, no window.
        QVERIFY(ResolveHtmlHelp(nullptr, HelpFile(), kHelpDisplayTopic, 0) == nullptr);
        QCOMPARE(HtmlHelpLoadAttempts(), 1);
        QCOMPARE(HelpWindowCount(), 0);
    }

    void libraryWithoutTheChmFunctionsFails() {
        SetHelpLibraryName("libm.so.6");  // loads, but is no chmlib
        QVERIFY(ResolveHtmlHelp(nullptr, HelpFile(), kHelpDisplayTopic, 0) == nullptr);
        QVERIFY(HtmlHelpFailed());
        QVERIFY(ResolveHtmlHelp(nullptr, HelpFile(), kHelpDisplayTopic, 0) == nullptr);
        QCOMPARE(HtmlHelpLoadAttempts(), 1);
        QCOMPARE(HelpWindowCount(), 0);
    }

    void resetRestoresTheRealLibrary() {
        SetHelpLibraryName("libtavix-no-such-help.so.1");
        QVERIFY(Show(HelpFile()) == nullptr);
        ResetHtmlHelpBinding();
        QVERIFY(!HtmlHelpFailed());
        QCOMPARE(HtmlHelpLoadAttempts(), 0);
        QVERIFY(Show(HelpFile()) != nullptr);
    }

    void secondCommandReusesTheWindowWithoutLoadingAgain() {
        CHelpViewer* first = Show(HelpFile());
        QVERIFY(first != nullptr);
        first->close();
        CHelpViewer* second = Show(HelpFile(), "settings.html");
        QCOMPARE(second, first);
        QVERIFY(second->isVisible());
        QCOMPARE(second->m_wndBrowser->source(), QUrl("chm:///settings.html"));
        QCOMPARE(HtmlHelpLoadAttempts(), 1);
        QVERIFY(!HtmlHelpFailed());
        QCOMPARE(HelpWindowCount(), 1);
        // An unknown command does nothing, and does not undo the binding.
        QVERIFY(ResolveHtmlHelp(nullptr, HelpFile(), 7, 0) == nullptr);
        QCOMPARE(HtmlHelpLoadAttempts(), 1);
        QVERIFY(!HtmlHelpFailed());
    }

    void windowIsOwnedTopLevelAndNotModal() {
        QWidget owner;
        CHelpViewer* viewer =
            qobject_cast<CHelpViewer*>(ResolveHtmlHelp(&owner, HelpFile(), kHelpDisplayTopic, 0));
        QVERIFY(viewer != nullptr);
        QVERIFY(viewer->isWindow());
        QCOMPARE(viewer->parentWidget(), &owner);
        QVERIFY(!viewer->isModal());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    // --- The help file ---------------------------------------------------

    void showsTheDefaultTopicUnderTheFilesTitle() {
        CHelpViewer* viewer = Show(HelpFile());
        QVERIFY(viewer != nullptr);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QString::fromUtf8(kTitle));
        QCOMPARE(viewer->m_system.defaultTopic, QStringLiteral("index.html"));
        QCOMPARE(viewer->m_wndBrowser->source(), QUrl("chm:///index.html"));
        const QString text = viewer->m_wndBrowser->toPlainText();
        QVERIFY2(text.contains(QString::fromUtf8("五步采集一幅图像")), qPrintable(text.left(200)));
        QVERIFY(text.contains(QString::fromUtf8("TavixTool 是一款串口摄像头测试工具")));
    }

    void followingLinksLoadsTopicsAndTheirPictures() {
        CHelpViewer* viewer = Show(HelpFile());
        QVERIFY(viewer != nullptr);
        viewer->resize(1000, 800);
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        CHelpBrowser* browser = viewer->m_wndBrowser;

        QVERIFY(ClickLink(browser, "frame-format.html"));
        QTRY_COMPARE(browser->source(), QUrl("chm:///frame-format.html"));
        QVERIFY(browser->toPlainText().contains(QString::fromUtf8("没有长度、校验和转义")));
        // The contents follow the page.
        QVERIFY(viewer->m_wndContents->currentItem() != nullptr);
        QCOMPARE(viewer->m_wndContents->currentItem()->text(0), QString::fromUtf8("帧格式"));

        // The picture, as the page names it, resolves to the committed PNG.
        const QString name = FirstImageName(browser);
        QCOMPARE(name, QStringLiteral("images/frame-format.png"));
        const QImage fromBrowser =
            browser->loadResource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
        QVERIFY(!fromBrowser.isNull());
        QCOMPARE(fromBrowser, QImage(QStringLiteral(TAVIX_FRAME_DIAGRAM)));
        const QVariant inDocument =
            browser->document()->resource(QTextDocument::ImageResource, QUrl(name));
        QVERIFY(!inDocument.value<QImage>().isNull());

        // The style sheet comes from the file too; nothing outside it is read.
        const QString css =
            browser->loadResource(QTextDocument::StyleSheetResource, QUrl("help.css")).toString();
        QVERIFY(css.contains(QLatin1String("body")));
        QVERIFY(!browser
                     ->loadResource(QTextDocument::HtmlResource,
                                    QUrl::fromLocalFile(QString::fromStdString(HelpFile())))
                     .isValid());

        // A link to a place in another page, then back.
        QVERIFY(ClickLink(browser, "colour-page.html#yuv"));
        QTRY_COMPARE(browser->source(), QUrl("chm:///colour-page.html#yuv"));
        QVERIFY(browser->toPlainText().contains(QString::fromUtf8("U、Y、V 到 RGB 的换算")));
        browser->backward();
        QCOMPARE(browser->source(), QUrl("chm:///frame-format.html"));

        // The default format's page leads to every other format's, which the
        // contents follow and which shows its screenshots.
        QVERIFY(ClickLink(browser, "streamformats.html"));
        QTRY_COMPARE(browser->source(), QUrl("chm:///streamformats.html"));
        QCOMPARE(viewer->m_wndContents->currentItem()->text(0), QString::fromUtf8("数据格式"));
        QVERIFY(browser->toPlainText().contains(QString::fromUtf8("尺寸来自数据流")));
        const QStringList pictures = ImageNames(browser);
        for (const char* picture : {"images/stream-formats-list.png", "images/stream-bits1.png",
                                    "images/stream-jpeg.png", "images/stream-arduino.png"}) {
            QVERIFY2(pictures.contains(QLatin1String(picture)), picture);
            QVERIFY(!browser->loadResource(QTextDocument::ImageResource, QUrl(picture))
                         .value<QImage>()
                         .isNull());
        }
    }

    void contentsListTheTopicsInChinese() {
        CHelpViewer* viewer = Show(HelpFile());
        QVERIFY(viewer != nullptr);
        QTreeWidget* tree = viewer->m_wndContents;
        QCOMPARE(tree->topLevelItemCount(), 10);
        QCOMPARE(tree->topLevelItem(0)->text(0), QString::fromUtf8("欢迎使用摄像头测试工具"));
        QTreeWidgetItem* main = FindItem(tree, QString::fromUtf8("主窗口"));
        QVERIFY(main != nullptr);
        QCOMPARE(main->childCount(), 7);
        QCOMPARE(main->child(1)->text(0), QString::fromUtf8("黑白数据"));
        QCOMPARE(main->child(2)->text(0), QString::fromUtf8("彩色数据"));
        QVERIFY(FindItem(tree, QString::fromUtf8("常见问题")) != nullptr);
        // Without a contents file named in #SYSTEM, the listing finds it.
        const QStringList files = viewer->m_archive.Files();
        QVERIFY(files.contains(QStringLiteral("/Help.hhc")));
        QVERIFY(files.contains(QStringLiteral("/images/frame-format.png")));
        QVERIFY(!files.contains(QStringLiteral("/#SYSTEM")));

        // Choosing an entry shows its topic.
        viewer->resize(1000, 800);
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        QTreeWidgetItem* black = main->child(1);
        tree->scrollToItem(black);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualItemRect(black).center());
        QCOMPARE(viewer->m_wndBrowser->source(), QUrl("chm:///black-page.html"));
        QVERIFY(viewer->m_wndBrowser->toPlainText().contains(QString::fromUtf8("二值化阀值")));
    }

    void missingTopicIsReportedAndTheDefaultComesBack() {
        CHelpViewer* viewer = Show(HelpFile());
        QVERIFY(viewer != nullptr);
        QVERIFY(Show(HelpFile(), "no-such-topic.html") == viewer);
        QVERIFY(viewer->m_wndBrowser->toPlainText().contains(QString::fromUtf8("找不到主题")));
        QVERIFY(Show(HelpFile()) == viewer);
        QVERIFY(
            viewer->m_wndBrowser->toPlainText().contains(QString::fromUtf8("五步采集一幅图像")));
    }

    void missingHelpFileOpensTheWindowWithAMessage() {
        const std::string missing = GetExeDirectory() + "no-such-dir/Help.chm";
        CHelpViewer* viewer = Show(missing);
        QVERIFY(viewer != nullptr);
        QVERIFY(viewer->isVisible());
        QVERIFY(!viewer->m_archive.IsOpen());
        QVERIFY(
            viewer->m_wndBrowser->toPlainText().contains(QString::fromUtf8("无法打开帮助文件")));
        QCOMPARE(viewer->m_wndContents->topLevelItemCount(), 0);
        // Once the file is there, the same window shows it.
        QVERIFY(Show(HelpFile()) == viewer);
        QCOMPARE(viewer->windowTitle(), QString::fromUtf8(kTitle));
        QVERIFY(
            viewer->m_wndBrowser->toPlainText().contains(QString::fromUtf8("五步采集一幅图像")));
        // A file that is no CHM is refused the same way.
        QVERIFY(Show(GetExeDirectory() + "HelpTest") == viewer);
        QVERIFY(!viewer->m_archive.IsOpen());
        QCOMPARE(HtmlHelpLoadAttempts(), 1);
    }

    // --- Every topic and picture -----------------------------------------

    // Each page and picture of the help's sources is in the built file, each
    // page is in the contents and the index and shows with all its pictures,
    // and each picture is shown by some page, small, and as committed.
    void everySourcePageAndPictureIsInTheFile() {
        const QDir sources(QStringLiteral(TAVIX_HELP_SOURCES));
        const QStringList pages = sources.entryList({QStringLiteral("*.html")}, QDir::Files);
        const QStringList pictures = QDir(sources.filePath(QStringLiteral("images")))
                                         .entryList({QStringLiteral("*.png")}, QDir::Files);
        // The topics and pictures of recording, replay, diagnosis, the link,
        // the inspector, the histogram, the threshold slider, the C array, the
        // picture's menu and the channels: the listing above alone would not
        // notice one of them deleted.
        for (const char* page :
             {"picture.html", "saving.html", "recording.html", "link-health.html", "diagnosis.html",
              "streamformats.html", "capture.html"})
            QVERIFY2(pages.contains(QLatin1String(page)), page);
        for (const char* picture :
             {"inspector.png", "threshold.png", "listing-menu.png", "channel-menu.png",
              "picture-menu.png", "replay-bar.png", "link-health.png", "diagnosis.png"})
            QVERIFY2(pictures.contains(QLatin1String(picture)), picture);

        CHelpViewer* viewer = Show(HelpFile());
        QVERIFY(viewer != nullptr);
        const QStringList files = viewer->m_archive.Files();
        const QSet<QString> contents =
            SitemapTopics(viewer->m_archive, QStringLiteral("/Help.hhc"));
        const QSet<QString> index = SitemapTopics(viewer->m_archive, QStringLiteral("/Help.hhk"));
        QSet<QString> shown;
        for (const QString& page : pages) {
            QVERIFY2(files.contains(QLatin1Char('/') + page),
                     qPrintable(page + " is not built in"));
            QVERIFY2(contents.contains(page), qPrintable(page + " is not in the contents"));
            QVERIFY2(index.contains(page), qPrintable(page + " is not in the index"));
            QVERIFY(Show(HelpFile(), page.toUtf8().constData()) == viewer);
            CHelpBrowser* browser = viewer->m_wndBrowser;
            QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:///") + page));
            QVERIFY2(!browser->toPlainText().contains(QString::fromUtf8("找不到主题")),
                     qPrintable(page));
            QVERIFY2(!browser->documentTitle().isEmpty(), qPrintable(page));
            for (const QString& name : ImageNames(browser)) {
                const QImage image =
                    browser->loadResource(QTextDocument::ImageResource, QUrl(name)).value<QImage>();
                QVERIFY2(!image.isNull(), qPrintable(page + ": " + name + " does not load"));
                shown.insert(name);
            }
        }
        for (const QString& picture : pictures) {
            const QString name = QStringLiteral("images/") + picture;
            const std::optional<QByteArray> built = viewer->m_archive.Read(QLatin1Char('/') + name);
            QVERIFY2(built.has_value(), qPrintable(name + " is not built in"));
            QFile source(sources.filePath(name));
            QVERIFY(source.open(QIODevice::ReadOnly));
            QCOMPARE(*built, source.readAll());
            QVERIFY2(built->size() < 80 * 1024, qPrintable(name + " is 80 KB or more"));
            QVERIFY2(shown.contains(name), qPrintable(name + " is on no page"));
        }
    }

    // --- The English help -------------------------------------------------

    // Help_en.chm opens through chmlib under its English title, with the
    // contents of the Chinese help entry for entry (the same pages and
    // places), every page they or the index name built in and shown in
    // English with its pictures, and a page for each Chinese one.
    void englishHelpMatchesTheChineseOne() {
        CHelpViewer* viewer = Show(HelpFile());
        QVERIFY(viewer != nullptr);
        const std::vector<CContentsEntry> chinese = Sitemap(viewer, QStringLiteral("/Help.hhc"));
        QVERIFY(chinese.size() >= 17);
        const size_t chineseIndex = Sitemap(viewer, QStringLiteral("/Help.hhk")).size();

        QVERIFY(Show(EnglishHelpFile()) == viewer);
        QVERIFY(viewer->m_archive.IsOpen());
        QCOMPARE(viewer->m_system.lcid, 0x409u);
        QCOMPARE(viewer->windowTitle(), QStringLiteral("TavixTool camera test tool help"));
        QCOMPARE(viewer->m_wndBrowser->source(), QUrl("chm:///index.html"));
        QVERIFY(viewer->m_wndBrowser->toPlainText().contains(
            QStringLiteral("Capture a picture in five steps")));
        QTreeWidget* tree = viewer->m_wndContents;
        QCOMPARE(tree->topLevelItemCount(), 10);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Welcome to the camera test tool"));

        const std::vector<CContentsEntry> english = Sitemap(viewer, QStringLiteral("/Help.hhc"));
        QCOMPARE(english.size(), chinese.size());
        for (size_t i = 0; i < english.size(); ++i) {
            QCOMPARE(english[i].local, chinese[i].local);
            QCOMPARE(english[i].depth, chinese[i].depth);
            QVERIFY2(ChineseIn(english[i].name).isEmpty(), qPrintable(english[i].name));
        }
        const std::vector<CContentsEntry> index = Sitemap(viewer, QStringLiteral("/Help.hhk"));
        QCOMPARE(index.size(), chineseIndex);

        // Every page named, shown with its pictures and no Chinese left.
        const QStringList files = viewer->m_archive.Files();
        QSet<QString> named;
        for (const auto* entries : {&english, &index})
            for (const CContentsEntry& e : *entries)
                named.insert(e.local.section(QLatin1Char('#'), 0, 0));
        QStringList missing;
        for (const QString& page : named) {
            if (!files.contains(QLatin1Char('/') + page)) {
                missing << page;
                continue;
            }
            QVERIFY(Show(EnglishHelpFile(), page.toUtf8().constData()) == viewer);
            CHelpBrowser* browser = viewer->m_wndBrowser;
            QCOMPARE(browser->source(), QUrl(QStringLiteral("chm:///") + page));
            QVERIFY2(!browser->documentTitle().isEmpty(), qPrintable(page));
            const QString chineseLeft = ChineseIn(browser->toPlainText());
            QVERIFY2(chineseLeft.isEmpty(), qPrintable(page + ": " + chineseLeft.left(40)));
            for (const QString& name : ImageNames(browser))
                QVERIFY2(!browser->loadResource(QTextDocument::ImageResource, QUrl(name))
                              .value<QImage>()
                              .isNull(),
                         qPrintable(page + ": " + name + " does not load"));
        }
        missing.sort();
        QVERIFY2(missing.isEmpty(),
                 qPrintable("not in Help_en.chm: " + missing.join(QLatin1String(", "))));

        // A page in English for each Chinese page, and no other.
        const QStringList pages = QDir(QStringLiteral(TAVIX_HELP_SOURCES))
                                      .entryList({QStringLiteral("*.html")}, QDir::Files);
        QCOMPARE(QDir(QStringLiteral(TAVIX_HELP_EN_SOURCES))
                     .entryList({QStringLiteral("*.html")}, QDir::Files),
                 pages);
    }

    // The links of the capture pages open the pages of the language shown,
    // copied beside the program: the English ones are in English.
    void linkPagesFollowTheLanguage() {
        const QString dir = QString::fromStdString(ProgramDataDirectory());
        const QString chinese = QUrl(AboutAddress()).toLocalFile();
        QCOMPARE(chinese, dir + QStringLiteral("help/about.html"));
        tx::SetLanguage(tx::Language::English);
        const QStringList english = {QUrl(AboutAddress()).toLocalFile(),
                                     QUrl(CameraBoardAddress()).toLocalFile(),
                                     QUrl(SimulatorAddress()).toLocalFile()};
        tx::SetLanguage(tx::Language::Chinese);
        QCOMPARE(english.first(), dir + QStringLiteral("help/en/about.html"));
        for (const QString& path : english) {
            QFile page(path);
            QVERIFY2(page.open(QIODevice::ReadOnly), qPrintable(path));
            const QString text = QString::fromUtf8(page.readAll());
            QVERIFY2(text.contains(QLatin1String("<html lang=\"en\">")), qPrintable(path));
            QVERIFY2(ChineseIn(text).isEmpty(), qPrintable(path));
        }
        QCOMPARE(QUrl(CameraBoardAddress()).toLocalFile(),
                 dir + QStringLiteral("help/camera-board.html"));
    }

    // --- Decoding --------------------------------------------------------

    void gbkDecodesWithAndWithoutQt() {
        const QByteArray gbk("\xC9\xE3\xCF\xF1\xCD\xB7\xB2\xE2\xCA\xD4");
        const QString expected = QString::fromUtf8("摄像头测试");
        QCOMPARE(DecodeWithIconv(gbk, "GBK"), expected);
        QCOMPARE(DecodeCodePage(gbk, "GBK"), expected);
        // A bad byte costs one replacement character, not the rest of the text;
        // so does a sequence cut off at the end.
        QCOMPARE(DecodeWithIconv(QByteArray("\xC9\xE3\xFF\xCF\xF1"), "GBK"),
                 QString::fromUtf8("摄\xEF\xBF\xBD像"));
        QCOMPARE(DecodeWithIconv(QByteArray("\xC9\xE3\xCF"), "GBK"),
                 QString::fromUtf8("摄\xEF\xBF\xBD"));
        QCOMPARE(DecodeWithIconv("abc", "no-such-code-page"), QStringLiteral("abc"));
    }

    void pagesDecodeByTheirDeclaredCharset() {
        const QByteArray body("\xB0\xEF\xD6\xFA");  // "帮助" in GBK
        const QString help = QString::fromUtf8("帮助");
        QVERIFY(DecodeHtmlPage("<meta http-equiv=\"Content-Type\" content=\"text/html; "
                               "charset=gb2312\"><p>" +
                                   body,
                               "windows-1252")
                    .endsWith(help));
        QVERIFY(DecodeHtmlPage("<META CHARSET='GBK'>" + body, "windows-1252").endsWith(help));
        QVERIFY(
            DecodeHtmlPage("<meta charset=\"utf-8\"><p>" + help.toUtf8(), "GBK").endsWith(help));
        QVERIFY(DecodeHtmlPage("\xEF\xBB\xBF<p>" + help.toUtf8(), "GBK").endsWith(help));
        QVERIFY(DecodeHtmlPage("<p>" + body, "GBK").endsWith(help));  // undeclared: the file's
    }

    void systemFileRecords() {
        QByteArray lcid("\x04\x08\x00\x00", 4);
        lcid.append(QByteArray(24, '\0'));
        const QByteArray data = QByteArray("\x03\x00\x00\x00", 4) +
                                Record(3, QByteArray("\xB0\xEF\xD6\xFA&\xB1\xEA\xCC\xE2") + '\0') +
                                Record(4, lcid) + Record(2, QByteArray("start.html\0junk", 15)) +
                                Record(9, QByteArray("ignored")) +
                                QByteArray("\x00\x00\x40\x00Help.h", 10);  // cut off
        const CChmSystem s = ParseChmSystem(data);
        QCOMPARE(s.lcid, 0x804u);
        QCOMPARE(s.title, QString::fromUtf8("帮助&标题"));
        QCOMPARE(s.defaultTopic, QStringLiteral("start.html"));
        QVERIFY(s.contentsFile.isEmpty());
        QCOMPARE(ParseChmSystem(QByteArray("\x03\x00", 2)).title, QString());
    }

    void sitemapEntriesWithTheirDepth() {
        const QString hhc = QString::fromUtf8(
            "<OBJECT type=\"text/site properties\"><param name=\"ImageType\" value=\"Folder\">"
            "</OBJECT><UL>"
            "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"首页\">"
            "<param name=\"Local\" value=\"index.html\"></OBJECT>"
            "<LI><object TYPE='text/sitemap'><PARAM NAME=Name VALUE='A &amp; B'>"
            "<param name=\"Local\" value=\"a.html#x\"></object>"
            "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"子项\">"
            "<param name=\"Local\" value=\"b.html\"></OBJECT>"
            "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"更深\">"
            "</OBJECT></UL></UL>"
            "<LI><OBJECT type=\"text/sitemap\"><param name=\"Local\" "
            "value=\"noname.html\"></OBJECT>"
            "<LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"末项\">"
            "<param name=\"Local\" value=\"c.html\"></OBJECT></UL>");
        const std::vector<CContentsEntry> e = ParseSitemap(hhc);
        QCOMPARE(e.size(), size_t(5));
        QCOMPARE(e[0].name, QString::fromUtf8("首页"));
        QCOMPARE(e[1].name, QStringLiteral("A & B"));
        QCOMPARE(e[1].local, QStringLiteral("a.html#x"));
        QCOMPARE(e[3].name, QString::fromUtf8("更深"));
        QVERIFY(e[3].local.isEmpty());
        QCOMPARE(e[4].local, QStringLiteral("c.html"));
        const int depths[] = {0, 0, 1, 2, 0};
        for (size_t i = 0; i < e.size(); ++i)
            QCOMPARE(e[i].depth, depths[i]);
    }
};

QTEST_MAIN(HelpTest)
#include "HelpTest.moc"
