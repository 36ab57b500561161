#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>

#include "ui/HyperLink.h"

namespace {

// A link whose opener, message box and pointer are the test's.
class TestLink : public CHyperLink {
public:
    using CHyperLink::CheckPointer;
    using CHyperLink::CHyperLink;
    bool realOpen = false;  // run the real opener with the platform step failing
    int openCode = 33;      // what the replaced opener returns
    QStringList opened;     // addresses the replaced opener got
    QStringList messages;   // texts of the boxes shown
    QString caption;
    QPoint pointer;  // global pointer position for the hover poll

protected:
    int OpenTarget(const QString& address, int showCommand) override {
        if (realOpen) {
            return CHyperLink::OpenTarget(address, showCommand);
        }
        opened << address;
        return openCode;
    }
    int PlatformOpen(const QString&) override { return 31; }
    QPoint PointerPos() const override { return pointer; }
    void ShowMessage(const QString& c, const QString& text) override {
        caption = c;
        messages << text;
    }
};

void Send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? button : Qt::NoButton;
    QMouseEvent event(type, pos, w->mapToGlobal(pos),
                      type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

void Click(QWidget* w, QPoint pos = QPoint(2, 2)) {
    Send(w, QEvent::MouseButtonPress, pos);
    Send(w, QEvent::MouseButtonRelease, pos);
}

// The one colour of the opaque pixels the label paints on a transparent
// image; invalid when it paints none or several.
QColor PaintedColour(QWidget* w) {
    QImage image(w->size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    w->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) == 255) {
                colours.insert(image.pixel(x, y));
            }
        }
    }
    return colours.size() == 1 ? QColor(*colours.begin()) : QColor();
}

void WriteFile(const QString& path, const QByteArray& text, bool executable = false) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    if (executable) {
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
}

QStringList ReadLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

std::optional<QByteArray> SavedEnv(const char* name) {
    return qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                           : std::nullopt;
}

void RestoreEnv(const char* name, const std::optional<QByteArray>& value) {
    if (value) {
        qputenv(name, *value);
    } else {
        qunsetenv(name);
    }
}

}  // namespace

class HyperLinkTest : public QObject {
    Q_OBJECT

private:
    QWidget* m_page = nullptr;
    TestLink* m_link = nullptr;
    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_path;
    // XDG variables as they were: value, or unset.
    std::optional<QByteArray> m_dataHome, m_dataDirs;

    QPoint Inside() const { return m_link->mapToGlobal(QPoint(1, 1)); }
    QPoint Outside() const { return m_link->mapToGlobal(QPoint(-3, -3)); }
    // A script that writes its arguments, one a line, to `out`.
    QString RecorderScript(const QString& out) {
        const QString path = m_dir->filePath(QStringLiteral("recorder.sh"));
        WriteFile(path,
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + out.toUtf8() + ".part'\n/bin/mv '" +
                      out.toUtf8() + ".part' '" + out.toUtf8() + "'\n",
                  true);
        return path;
    }
    // A fake xdg-mime on PATH answering `desktopId` for text/html.
    void FakeXdgMime(const QByteArray& desktopId) {
        QDir(m_dir->path()).mkpath(QStringLiteral("bin"));
        WriteFile(m_dir->filePath(QStringLiteral("bin/xdg-mime")),
                  "#!/bin/sh\n[ \"$*\" = 'query default text/html' ] && echo '" + desktopId + "'\n",
                  true);
        qputenv("PATH", m_dir->filePath(QStringLiteral("bin")).toUtf8() + ':' + m_path);
    }
    void WriteDesktop(const QString& dataDir, const QString& id, const QByteArray& body) {
        QDir(dataDir).mkpath(QStringLiteral("applications"));
        WriteFile(dataDir + QStringLiteral("/applications/") + id, body);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_path = qgetenv("PATH");
        m_dataHome = SavedEnv("XDG_DATA_HOME");
        m_dataDirs = SavedEnv("XDG_DATA_DIRS");
        m_page = new QWidget;
        m_page->resize(400, 200);
        m_link = new TestLink(m_page);
        QFont font = m_link->font();
        font.setPixelSize(24);
        m_link->setFont(font);
        m_link->setGeometry(10, 10, 300, 40);
        m_link->setText(QStringLiteral("Tavix"));
        m_link->SetTarget(QStringLiteral("https://tavix.example/"));
        m_page->show();
    }
    void cleanup() {
        delete m_page;
        m_dir.reset();
        qputenv("PATH", m_path);
        RestoreEnv("XDG_DATA_HOME", m_dataHome);
        RestoreEnv("XDG_DATA_DIRS", m_dataDirs);
    }

    void attachFillsCaptionOrAddress() {
        m_link->setText(QString());
        m_link->Attach();
        QCOMPARE(m_link->text(), QStringLiteral("https://tavix.example/"));
        QCOMPARE(m_link->toolTip(), QStringLiteral("https://tavix.example/"));
        QCOMPARE(m_link->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!m_link->font().underline());

        TestLink bare(m_page);
        bare.setText(QStringLiteral("https://caption.example/"));
        bare.Attach();
        QCOMPARE(bare.GetTarget(), QStringLiteral("https://caption.example/"));
        QCOMPARE(bare.toolTip(), QStringLiteral("https://caption.example/"));
    }

    void coloursFollowState() {
        m_link->Attach();
        QCOMPARE(PaintedColour(m_link), QColor(0, 0, 238));
        m_link->pointer = Inside();
        Send(m_link, QEvent::MouseMove, QPoint(1, 1));
        QCOMPARE(PaintedColour(m_link), QColor(255, 0, 0));
        Click(m_link);
        QCOMPARE(m_link->opened, QStringList{QStringLiteral("https://tavix.example/")});
        QVERIFY(m_link->IsVisited());
        QCOMPARE(PaintedColour(m_link), QColor(85, 26, 139));
        Send(m_link, QEvent::MouseMove, QPoint(1, 1));
        QCOMPARE(PaintedColour(m_link), QColor(255, 0, 0));
        m_link->openCode = 2;
        Click(m_link);
        QVERIFY(!m_link->IsVisited());
        QCOMPARE(PaintedColour(m_link), QColor(0, 0, 238));
    }

    void clickNeedsLeftReleaseInside() {
        m_link->Attach();
        Send(m_link, QEvent::MouseButtonPress, QPoint(2, 2));
        Send(m_link, QEvent::MouseButtonRelease, QPoint(-2, 2));
        Send(m_link, QEvent::MouseButtonPress, QPoint(2, 2), Qt::RightButton);
        Send(m_link, QEvent::MouseButtonRelease, QPoint(2, 2), Qt::RightButton);
        QVERIFY(m_link->opened.isEmpty());
    }

    void hoverEndsAtNextPollOutside() {
        m_link->Attach();
        m_link->pointer = Inside();
        Send(m_link, QEvent::MouseMove, QPoint(1, 1));
        QVERIFY(m_link->IsPointerInside());
        QVERIFY(m_link->font().underline());
        m_link->CheckPointer();
        QVERIFY(m_link->IsPointerInside());

        m_link->pointer = Outside();
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(m_link, &leave);
        QVERIFY(m_link->IsPointerInside());
        QTRY_VERIFY_WITH_TIMEOUT(!m_link->IsPointerInside(), 2000);
        QVERIFY(!m_link->font().underline());
    }

    void underlineModes() {
        m_link->SetUnderlineMode(1);
        m_link->Attach();
        QVERIFY(m_link->font().underline());
        m_link->pointer = Outside();
        Send(m_link, QEvent::MouseMove, QPoint(1, 1));
        m_link->CheckPointer();
        QVERIFY(m_link->font().underline());

        m_link->SetUnderlineMode(0);
        QVERIFY(!m_link->font().underline());
        Send(m_link, QEvent::MouseMove, QPoint(1, 1));
        QVERIFY(m_link->IsPointerInside());
        QVERIFY(!m_link->font().underline());
    }

    void openErrorText_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "The operating system is out\nof memory or resources.";
        QTest::newRow("2") << 2 << "The specified file was not found.";
        QTest::newRow("26") << 26 << "A sharing violation occurred. ";
        QTest::newRow("30") << 30
                            << "The DDE transaction could not\nbe completed because other DDE "
                               "transactions\nwere being processed.";
        QTest::newRow("31") << 31
                            << "There is no application associated\nwith the given filename "
                               "extension.";
        QTest::newRow("32") << 32 << "The specified dynamic-link library was not found.";
        QTest::newRow("4") << 4 << "Unknown Error (4) occurred.";
        QTest::newRow("-7") << -7 << "Unknown Error (-7) occurred.";
    }
    void openErrorText() {
        QFETCH(int, code);
        QFETCH(QString, text);
        m_link->Attach();
        m_link->openCode = code;
        Click(m_link);
        QCOMPARE(m_link->messages,
                 QStringList{QStringLiteral("Unable to open hyperlink:\n\n") + text});
        QCOMPARE(m_link->caption, QGuiApplication::applicationDisplayName());
        QVERIFY(!m_link->IsVisited());
    }

    void fitToText_data() {
        QTest::addColumn<int>("align");
        // Position, and size beyond the needed one: at the start and after fitting.
        QTest::addColumn<QRect>("extra");
        QTest::addColumn<QRect>("fitted");
        const int left = Qt::AlignLeft, right = Qt::AlignRight, centre = Qt::AlignHCenter;
        const int top = Qt::AlignTop, vc = Qt::AlignVCenter;
        QTest::newRow("top-left kept")
            << (left | top) << QRect(50, 20, 41, 9) << QRect(50, 20, 0, 0);
        QTest::newRow("right edge kept")
            << (right | top) << QRect(50, 20, 41, 9) << QRect(91, 20, 0, 0);
        QTest::newRow("centre kept")
            << (centre | top) << QRect(50, 20, 41, 9) << QRect(70, 20, 1, 0);
        QTest::newRow("centre grows out")
            << (centre | top) << QRect(50, 20, -7, 9) << QRect(47, 20, -1, 0);
        QTest::newRow("middle kept") << (left | vc) << QRect(50, 20, 41, 9) << QRect(50, 24, 0, 1);
        QTest::newRow("middle grows out")
            << (left | vc) << QRect(50, 20, 41, -5) << QRect(50, 18, 0, -1);
    }
    void fitToText() {
        QFETCH(int, align);
        QFETCH(QRect, extra);
        QFETCH(QRect, fitted);
        m_link->setFrameStyle(QFrame::Box | QFrame::Plain);  // a 1-pixel frame on each side
        m_link->setAlignment(Qt::Alignment(align));
        QFont underlined = m_link->font();
        underlined.setUnderline(true);
        const QFontMetrics metrics(underlined);
        const int needW = metrics.horizontalAdvance(QStringLiteral("Tavix")) + 2;
        const int needH = metrics.height() + 2;
        m_link->setGeometry(extra.x(), extra.y(), needW + extra.width(), needH + extra.height());
        m_link->Attach();
        QCOMPARE(m_link->geometry(),
                 QRect(fitted.x(), fitted.y(), needW + fitted.width(), needH + fitted.height()));
    }

    void cutAtPlaceholder_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("cut");
        QTest::newRow("quoted") << "firefox \"%u\""
                                << "firefox ";
        QTest::newRow("bare") << "chromium --x %U --y"
                              << "chromium --x ";
        QTest::newRow("quoted first") << "b %F -n \"%f\" %u"
                                      << "b %F -n ";
        QTest::newRow("literal percent") << "p 100%%u %i %u"
                                         << "p 100%%u %i ";
        QTest::newRow("none") << "lynx -dump"
                              << "lynx -dump";
    }
    void cutAtPlaceholder() {
        QFETCH(QString, command);
        QFETCH(QString, cut);
        QCOMPARE(CHyperLink::CutAtPlaceholder(command), cut);
    }

    void startPassesAddressAsOneArgument() {
        const QString out = m_dir->filePath(QStringLiteral("args"));
        const QString address = QStringLiteral("http://x/a b\"; rm -rf ~ $(id) `id`");
        QCOMPARE(CHyperLink::StartWithAddress(
                     '"' + RecorderScript(out) + "\" --new-window \"%u\" --never", address),
                 33);
        QTRY_COMPARE(ReadLines(out), (QStringList{QStringLiteral("--new-window"), address}));
    }

    void startFailureCodes() {
        const QString plain = m_dir->filePath(QStringLiteral("plain"));
        WriteFile(plain, "#!/bin/sh\n");
        QCOMPARE(CHyperLink::StartWithAddress(plain + " %u", "a"), 5);
        QCOMPARE(CHyperLink::StartWithAddress(m_dir->path() + " %u", "a"), 5);
        QCOMPARE(CHyperLink::StartWithAddress(m_dir->filePath("gone") + " %u", "a"), 2);
        QCOMPARE(CHyperLink::StartWithAddress(m_dir->filePath("gone/prog") + " %u", "a"), 3);
        qputenv("PATH", m_dir->path().toUtf8());
        QCOMPARE(CHyperLink::StartWithAddress("tavix-no-such-browser %u", "a"), 2);
        QCOMPARE(CHyperLink::StartWithAddress("plain %u", "a"), 5);
    }

    void startRefusesOverlongCommand() {
        // "<missing>  " + address (the cut keeps a blank): 519 bytes fit the 520-byte buffer, 520
        // do not.
        const QString program = m_dir->filePath(QStringLiteral("missing"));
        const QString fits(519 - program.toUtf8().size() - 2, QLatin1Char('a'));
        QCOMPARE(CHyperLink::StartWithAddress(program + " %u", fits), 2);
        QCOMPARE(CHyperLink::StartWithAddress(program + " %u", fits + "a"), 8);
    }

    void fallbackOpensWithRegisteredHandler() {
        const QString out = m_dir->filePath(QStringLiteral("args"));
        FakeXdgMime("fakebrowser.desktop");
        qputenv("XDG_DATA_HOME", m_dir->filePath(QStringLiteral("home")).toUtf8());
        WriteDesktop(
            m_dir->filePath(QStringLiteral("home")), QStringLiteral("fakebrowser.desktop"),
            "[Desktop Action other]\nExec=/bin/false\n[Desktop Entry]\nName=Fake\nExec = " +
                RecorderScript(out).toUtf8() + " \"%u\"\n");
        m_link->realOpen = true;
        m_link->SetTarget(QStringLiteral("https://tavix.example/a b;ls"));
        m_link->Attach();
        Click(m_link);
        QVERIFY(m_link->messages.isEmpty());
        QVERIFY(m_link->IsVisited());
        QTRY_COMPARE(ReadLines(out), QStringList{QStringLiteral("https://tavix.example/a b;ls")});
    }

    void fallbackSearchesDataDirsInOrder() {
        FakeXdgMime("web.desktop");
        const QString home = m_dir->filePath(QStringLiteral("home2"));
        const QString first = m_dir->filePath(QStringLiteral("first"));
        const QString second = m_dir->filePath(QStringLiteral("second"));
        qputenv("XDG_DATA_HOME", home.toUtf8());
        qputenv("XDG_DATA_DIRS", (first + ':' + second).toUtf8());
        WriteDesktop(second, QStringLiteral("web.desktop"), "[Desktop Entry]\nExec=second %u\n");
        QCOMPARE(CHyperLink::HtmlHandlerCommand(), QStringLiteral("second %u"));
        WriteDesktop(first, QStringLiteral("web.desktop"), "[Desktop Entry]\nExec=first %u\n");
        QCOMPARE(CHyperLink::HtmlHandlerCommand(), QStringLiteral("first %u"));
        WriteDesktop(home, QStringLiteral("web.desktop"), "[Desktop Entry]\nExec=home %u\n");
        QCOMPARE(CHyperLink::HtmlHandlerCommand(), QStringLiteral("home %u"));
    }

    void fallbackWithoutHandlerReports31() {
        FakeXdgMime("");
        m_link->realOpen = true;
        m_link->Attach();
        Click(m_link);
        QCOMPARE(m_link->messages.size(), 1);
        QVERIFY(
            m_link->messages[0].endsWith("There is no application associated\nwith the given "
                                         "filename extension."));
        qputenv("PATH", m_dir->filePath(QStringLiteral("empty")).toUtf8());
        QCOMPARE(CHyperLink::HtmlHandlerCommand(), QString());
    }
};

QTEST_MAIN(HyperLinkTest)
#include "HyperLinkTest.moc"
