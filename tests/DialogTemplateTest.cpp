#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyleOptionButton>
#include <QTextLayout>
#include <QTranslator>
#include <QtTest>

#include "pages/ControlIds.h"
#include "pages/DialogTemplate.h"
#include "pages/TemplateTexts.h"
#include "ui/HyperLink.h"

namespace {

// Translates every caption of the templates into a long made-up English text,
// as a translation longer than the Chinese would be.
class LongCaptions : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (qstrcmp(context, "DialogTemplate") != 0) {
            return QString();
        }
        return QString::fromUtf8(source).isEmpty()
                   ? QString()
                   : QStringLiteral("Longer text %1").arg(qHash(QByteArray(source)) % 97);
    }
    bool isEmpty() const override { return false; }
};

CDialogTemplate Loaded(int number) {
    CDialogTemplate t;
    if (!t.Load(number)) {
        qFatal("%s", qPrintable(t.ErrorString()));
    }
    return t;
}

QString Caption(const QWidget* w) {
    if (auto* b = qobject_cast<const QAbstractButton*>(w)) {
        return b->text();
    }
    if (auto* l = qobject_cast<const QLabel*>(w)) {
        return l->text();
    }
    if (auto* g = qobject_cast<const QGroupBox*>(w)) {
        return g->title();
    }
    return {};
}

int Id(const QWidget* w) {
    return w ? w->property(CDialogTemplate::kIdProperty).toInt() : -2;
}

// The widget class each kind becomes (in ControlKind order; an edit is a
// QLineEdit, or a QFrame placeholder when multi-line).
const char* const kKindClasses[] = {"QPushButton",  "QPushButton", "QCheckBox",
                                    "QRadioButton", "QLineEdit",   "QLabel",
                                    "QFrame",       "CHyperLink",  "QGroupBox"};

// Width the style adds around a button's text.
int ButtonDecoration(const QWidget* w, QStyle::ContentsType type) {
    QStyleOptionButton option;
    option.initFrom(w);
    option.text = Caption(w);
    if (auto* b = qobject_cast<const QPushButton*>(w)) {
        option.features |= QStyleOptionButton::AutoDefaultButton;
        if (b->isDefault()) {
            option.features |= QStyleOptionButton::DefaultButton;
        }
    }
    // Wide contents keep the style's minimum button width out of the sum.
    const int wide = 1000;
    return w->style()->sizeFromContents(type, &option, QSize(wide, 10), w).width() - wide;
}

// Width and height the caption needs inside the widget: its text as laid out
// with fallback fonts, plus the control's decoration. Also the families that
// draw it, and whether any character lacks a glyph (would show as a box).
QSize Needed(const QWidget* w, QStringList& families, bool& missing) {
    const QString text = Caption(w);
    QTextLayout layout(text, w->font());
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        families << run.rawFont().familyName();
        missing = missing || run.glyphIndexes().contains(0);
    }
    const QSize size(QFontMetrics(w->font()).horizontalAdvance(text), qCeil(line.height()));
    const QStyle::ContentsType type = qobject_cast<const QCheckBox*>(w) ? QStyle::CT_CheckBox
                                      : qobject_cast<const QRadioButton*>(w)
                                          ? QStyle::CT_RadioButton
                                          : QStyle::CT_PushButton;
    if (qobject_cast<const QAbstractButton*>(w)) {
        return size + QSize(ButtonDecoration(w, type), 0);
    }
    if (qobject_cast<const QGroupBox*>(w)) {
        return QSize(w->minimumSizeHint().width(), size.height());
    }
    return size;
}

void TemplateRows() {
    QTest::addColumn<int>("number");
    QTest::newRow("102") << IDD_BLACK_PAGE;
    QTest::newRow("103") << IDD_COLOUR_PAGE;
}

}  // namespace

class DialogTemplateTest : public QObject {
    Q_OBJECT

private slots:
    // --- Control names ------------------------------------------------------
    // Every named control stands in its template file with the named kind and
    // caption, and every numbered control of the file has a name.
    void controlNamesMatchTheTemplateFiles_data() { TemplateRows(); }
    void controlNamesMatchTheTemplateFiles() {
        QFETCH(int, number);
        QFile file(QStringLiteral(":/templates/%1.dlg").arg(number));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QRegularExpression control(
            QStringLiteral("^control\\s+(-?\\d+)\\s+(\\w+)\\s.*\"([^\"]*)\"$"));
        QHash<int, QPair<QString, QString>> inFile;  // id -> kind, caption
        for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch m = control.match(line.trimmed());
            if (m.hasMatch() && m.captured(1) != QLatin1String("-1"))
                inFile.insert(m.captured(1).toInt(), {m.captured(2), m.captured(3)});
        }
        QVERIFY(inFile.size() >= 12);
        const std::vector<ControlName> names =
            number == IDD_BLACK_PAGE ? std::vector<ControlName>(std::begin(kBlackPageControls),
                                                                std::end(kBlackPageControls))
                                     : std::vector<ControlName>(std::begin(kColourPageControls),
                                                                std::end(kColourPageControls));
        QSet<int> named;
        for (const ControlName& c : names) {
            QVERIFY2(inFile.contains(c.id), c.name);
            QVERIFY2(inFile[c.id].first == QLatin1String(c.kind), c.name);
            QVERIFY2(inFile[c.id].second == QString::fromUtf8(c.caption), c.name);
            named.insert(c.id);
        }
        for (auto it = inFile.cbegin(); it != inFile.cend(); ++it)
            QVERIFY2(named.contains(it.key()), qPrintable(QString::number(it.key())));
    }

    // --- Translation ---------------------------------------------------------
    // The list the translators read names every caption of both templates
    // and nothing else.
    void templateTextsListEveryCaption() {
        QSet<QString> captions;
        for (int number : {IDD_BLACK_PAGE, IDD_COLOUR_PAGE}) {
            const CDialogTemplate t = Loaded(number);
            for (const DialogControl& c : t.Controls())
                if (!c.caption.isEmpty())
                    captions.insert(c.caption);
        }
        QSet<QString> listed;
        for (std::size_t i = 0; i < kTemplateTextCount; ++i)
            listed.insert(QString::fromUtf8(kTemplateTexts[i]));
        QCOMPARE(listed.size(), static_cast<qsizetype>(kTemplateTextCount));  // each once
        QCOMPARE(listed, captions);
    }

    // Built with translated captions, the controls show them, and those that
    // clip grow to the right without reaching a neighbour or leaving their
    // group box; untranslated captions keep the template's rectangles.
    void translatedCaptionsGrowIntoFreeRoom_data() { TemplateRows(); }
    void translatedCaptionsGrowIntoFreeRoom() {
        QFETCH(int, number);
        const CDialogTemplate t = Loaded(number);
        QDialog chinese;
        t.Build(chinese);
        QHash<int, QRect> before;  // by template index
        const auto index = [](const QWidget* w) { return w->property("ctrlIndex").toInt(); };
        for (QWidget* w : chinese.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            before.insert(index(w), w->geometry());
        t.FitTranslatedCaptions(chinese);
        for (QWidget* w : chinese.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QCOMPARE(w->geometry(), before.value(index(w)));

        LongCaptions translator;
        QCoreApplication::installTranslator(&translator);
        QDialog english;
        t.Build(english);
        t.FitTranslatedCaptions(english);
        QCoreApplication::removeTranslator(&translator);
        const QList<QWidget*> widgets = english.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        int grown = 0;
        for (QWidget* w : widgets) {
            const DialogControl& c = t.Controls()[static_cast<size_t>(index(w))];
            const QRect was = before.value(index(w));
            QVERIFY(!Caption(w).contains(c.caption) || c.caption.isEmpty());
            QCOMPARE(w->y(), was.y());
            QCOMPARE(w->height(), was.height());
            // Only static text grows to the left, or gives up room its text
            // leaves to static text on its right.
            if (w->x() != was.x())
                QCOMPARE(c.kind, ControlKind::Label);
            if (w->width() < was.width()) {
                QCOMPARE(c.kind, ControlKind::Label);
                QCOMPARE(w->x(), was.x());
                QVERIFY(w->fontMetrics().horizontalAdvance(Caption(w)) <= w->width());
            }
            if (!w->geometry().contains(was))
                continue;
            if (w->width() == was.width())
                continue;
            ++grown;
            QVERIFY(english.rect().contains(w->geometry()));
            for (QWidget* other : widgets) {
                const DialogControl& o = t.Controls()[static_cast<size_t>(index(other))];
                if (other == w)
                    continue;
                if (o.kind == ControlKind::GroupBox) {
                    // Inside the group box it started in.
                    if (other->geometry().contains(was))
                        QVERIFY2(other->geometry().contains(w->geometry()), qPrintable(Caption(w)));
                    continue;
                }
                // No new overlap with a neighbour.
                if (!was.intersects(other->geometry()))
                    QVERIFY2(!w->geometry().intersects(other->geometry()),
                             qPrintable(Caption(w) + " over " + Caption(other)));
            }
        }
        QVERIFY(grown > 0);
    }

    // --- Dialog units --------------------------------------------------------
    void mulDivRoundsToNearest() {
        QCOMPARE(CDialogTemplate::MulDiv(1, 6, 4), 2);    // 1.5
        QCOMPARE(CDialogTemplate::MulDiv(5, 7, 4), 9);    // 8.75
        QCOMPARE(CDialogTemplate::MulDiv(3, 13, 8), 5);   // 4.875
        QCOMPARE(CDialogTemplate::MulDiv(4, 13, 8), 7);   // 6.5
        QCOMPARE(CDialogTemplate::MulDiv(-1, 6, 4), -2);  // halves away from zero
        QCOMPARE(CDialogTemplate::MulDiv(1, 6, -4), -2);
        QCOMPARE(CDialogTemplate::MulDiv(-3, 5, -4), 4);  // 3.75
        QCOMPARE(CDialogTemplate::MulDiv(7, 1, 0), -1);
        QCOMPARE(CDialogTemplate::MulDiv(65536, 65536, 2), -1);                 // too big
        QCOMPARE(CDialogTemplate::MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);  // 64 bits
    }

    void baseUnitsFromMetrics() {
        // x = (advance / 26 + 1) / 2 in whole numbers.
        QCOMPARE(CDialogTemplate::BaseUnits(313, 13).x, 6);  // 12.04 -> 12 -> 6
        QCOMPARE(CDialogTemplate::BaseUnits(337, 16).x, 6);  // 12.96 -> 12 -> 6
        QCOMPARE(CDialogTemplate::BaseUnits(338, 16).x, 7);  // 13 -> 7
        QCOMPARE(CDialogTemplate::BaseUnits(390, 16).x, 8);
        QCOMPARE(CDialogTemplate::BaseUnits(370, 16).y, 16);

        const DialogBaseUnits base{7, 16};
        QCOMPARE(CDialogTemplate::ToPixels(QRect(521, 168, 61, 21), base),
                 QRect(912, 336, 107, 42));
        // Edges are not carried over: x and width round independently.
        QCOMPARE(CDialogTemplate::ToPixels(QRect(1, 1, 1, 1), DialogBaseUnits{6, 13}),
                 QRect(2, 2, 2, 2));
        QCOMPARE(CDialogTemplate::ToPixels(QSize(658, 621), base), QSize(1152, 1242));
    }

    void pageFontMeasuresAsWindows() {
        const CDialogTemplate t = Loaded(IDD_BLACK_PAGE);
        const QFont font = t.PageFont();
        QCOMPARE(font.pixelSize(), 13);  // 10 pt at 96 dpi, as a Windows dialog font
        const DialogBaseUnits base = CDialogTemplate::BaseUnitsOf(font);
        qInfo("page font: %s %d px, base units %d x %d (Qt's own height %d)",
              qPrintable(QFontInfo(font).family()), font.pixelSize(), base.x, base.y,
              QFontMetrics(font).height());
        if (QFontInfo(font).family() != QLatin1String("Tahoma")) {
            QSKIP("no Tahoma on this machine");
        }
        // Windows: Tahoma 8 pt (11 px) has the well-known base units 6 x 13.
        QFont small = font;
        small.setPixelSize(11);
        QCOMPARE(CDialogTemplate::BaseUnitsOf(small).x, 6);
        QCOMPARE(CDialogTemplate::BaseUnitsOf(small).y, 13);
        QCOMPARE(base.x, 7);
        QCOMPARE(base.y, 16);
    }

    // --- Template files ------------------------------------------------------
    void parseRejectsMalformedText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const QString head = "dialog 7 100 50 child\nfont 10 \"Tahoma\"\n";
        QTest::newRow("kind") << head + "control 1 buton 0 0 5 5 - \"\""
                              << "t:3: unknown control kind";
        QTest::newRow("flag") << head + "control 1 edit 0 0 5 5 tabstop,grup \"\""
                              << "t:3: unknown flag \"grup\"";
        QTest::newRow("number") << head + "control 1 edit 0 x 5 5 - \"\""
                                << "t:3: position";
        QTest::newRow("quote") << head + "control 1 label 0 0 5 5 - \"abc"
                               << "t:3: quoted text";
        QTest::newRow("unquoted caption") << head + "control 1 label 0 0 5 5 - abc"
                                          << "t:3: expected: control";
        QTest::newRow("duplicate id") << head +
                                             "control 4 edit 0 0 5 5 - \"\"\n\n"
                                             "control 4 edit 9 9 5 5 - \"\""
                                      << "t:5: id 4 already used on line 3";
        QTest::newRow("outside") << head + "control 1 edit 90 0 11 5 - \"\""
                                 << "t:3: control reaches outside the 100 x 50 dialog";
        QTest::newRow("control first") << "control 1 edit 0 0 5 5 - \"\""
                                       << "t:1: control before";
        QTest::newRow("no font") << "# x\ndialog 7 100 50"
                                 << "t: no font line";
        QTest::newRow("style") << "dialog 7 100 50 popup"
                               << "t:1: unknown dialog style";
    }
    void parseRejectsMalformedText() {
        QFETCH(QString, text);
        QFETCH(QString, error);
        CDialogTemplate t;
        QVERIFY(t.Parse("dialog 7 100 50\nfont 9 \"A b\"\ncontrol -1 label 0 0 5 5 - \"x\"", "t"));
        QVERIFY(!t.Parse(text, "t"));
        QVERIFY2(t.ErrorString().startsWith(error), qPrintable(t.ErrorString()));
        QVERIFY(!t.IsLoaded());  // a failed parse leaves nothing behind
        QVERIFY(t.Controls().empty());
    }

    void parseReadsEscapesAndBom() {
        CDialogTemplate t;
        QVERIFY(t.Parse(QString(QChar(0xFEFF)) +
                            "dialog 7 100 50\r\nfont 9 \"A b\"\r\n"
                            "control -1 label 0 0 5 5 center \"say \\\"hi\\\" \\\\ \"\r\n",
                        "t"));
        QCOMPARE(t.FontFace(), QString("A b"));
        QCOMPARE(t.Controls().at(0).caption, QString("say \"hi\" \\ "));
        QVERIFY(!t.IsChild());
    }

    void loadUnknownTemplateFails() {
        CDialogTemplate t;
        QVERIFY(!t.Load(104));
        QVERIFY2(t.ErrorString().contains("104"), qPrintable(t.ErrorString()));
    }

    void templatesHoldTheDesignedControls_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<QList<int>>("kindCounts");  // in ControlKind order
        // Template order; -1 for the controls without an id.
        // clang-format off
        const QList<int> ids102{
            IDC_CAPTURE_ONE, IDC_CAPTURE_CONTINUOUS, IDC_SHOW_IMAGE, IDC_ONE_TO_ONE,
            IDC_SCALE_TO_AREA, IDC_SHOW_BINARY, IDC_THRESHOLD, IDC_COLUMNS, IDC_ROWS,
            IDC_COLUMN_GAP, IDC_ROW_GAP, IDC_PICTURE, IDC_VALUES, IDC_ABOUT, IDC_PRODUCT1,
            IDC_PRODUCT2, -1, -1, -1, -1, -1, -1, -1, -1, -1, IDC_STATUS, -1, -1};
        const QList<int> ids103{
            IDC_CAPTURE_ONE, IDC_COLOUR_CAPTURE_CONTINUOUS, IDC_COLOUR_SCALE_TO_AREA, IDC_COLUMNS,
            IDC_ROWS, IDC_COLUMN_GAP, IDC_ROW_GAP, -1, IDC_PICTURE, -1, -1, -1, -1, -1, -1,
            IDC_STATUS, -1, -1, IDC_COLOUR_PRODUCT1, IDC_COLOUR_PRODUCT2, IDC_COLOUR_ABOUT, -1};
        // clang-format on
        QTest::newRow("102") << IDD_BLACK_PAGE << QSize(658, 621) << ids102
                             << QList<int>{1, 1, 2, 2, 6, 10, 1, 3, 2};
        QTest::newRow("103") << IDD_COLOUR_PAGE << QSize(637, 337) << ids103
                             << QList<int>{1, 1, 1, 0, 4, 8, 1, 3, 3};
    }
    void templatesHoldTheDesignedControls() {
        QFETCH(int, number);
        QFETCH(QSize, size);
        QFETCH(QList<int>, ids);
        QFETCH(QList<int>, kindCounts);
        const CDialogTemplate t = Loaded(number);
        QCOMPARE(t.Number(), number);
        QCOMPARE(t.Size(), size);
        QVERIFY(t.IsChild());
        QCOMPARE(t.FontFace(), QString("Tahoma"));
        QCOMPARE(t.FontPoints(), 10);
        QList<int> gotIds;
        QList<int> gotCounts(kindCounts.size(), 0);
        for (const DialogControl& c : t.Controls()) {
            gotIds << c.id;
            ++gotCounts[static_cast<int>(c.kind)];
        }
        QCOMPARE(gotIds, ids);
        QCOMPARE(gotCounts, kindCounts);
        for (const DialogControl& c : t.Controls()) {
            const bool tabStop = c.kind == ControlKind::PushButton ||
                                 c.kind == ControlKind::DefPushButton ||
                                 c.kind == ControlKind::CheckBox || c.kind == ControlKind::Edit;
            QCOMPARE(c.Has(kTabStop), tabStop);
        }
        QCOMPARE(t.Find(IDC_STATUS)->flags, unsigned(kCenter | kVCenter));
        QCOMPARE(t.Find(IDC_CAPTURE_ONE)->kind, ControlKind::DefPushButton);
        QCOMPARE(t.Find(IDC_CAPTURE_ONE)->caption, QString("采集一幅图"));

        if (number == IDD_BLACK_PAGE) {
            QCOMPARE(t.Find(IDC_SCALE_TO_AREA)->rect, QRect(443, 35, 102, 10));
            QCOMPARE(t.Find(IDC_ONE_TO_ONE)->flags, unsigned(kGroup));
            QCOMPARE(t.Find(IDC_SHOW_BINARY)->flags, unsigned(kTabStop | kGroup));
            QCOMPARE(t.Find(IDC_VALUES)->flags,
                     unsigned(kTabStop | kMultiLine | kReadOnly | kHScroll | kVScroll | kBorder));
            QCOMPARE(t.Find(IDC_VALUES)->rect, QRect(4, 240, 579, 369));
            QCOMPARE(t.Controls()[19].caption, QString("行  *"));
            QCOMPARE(t.Controls()[19].rect, QRect(559, 93, 14, 8));
            QCOMPARE(t.Controls()[21].caption, QString("行显示（0为整行显示）"));
            QCOMPARE(t.Controls()[21].rect, QRect(503, 126, 92, 8));
            QCOMPARE(t.Controls()[27].rect, QRect(427, 81, 170, 65));
        } else {
            QCOMPARE(t.Find(IDC_COLOUR_CAPTURE_CONTINUOUS)->caption, QString("连续采集"));
            QCOMPARE(t.Find(IDC_COLOUR_SCALE_TO_AREA)->rect, QRect(431, 16, 155, 10));
            QCOMPARE(t.Find(IDC_PICTURE)->rect, QRect(4, 3, 414, 320));
            QCOMPARE(t.Find(IDC_COLOUR_ABOUT)->rect, QRect(431, 219, 151, 12));
            QCOMPARE(t.Controls()[17].caption, QString("显示模式"));
            QCOMPARE(t.Controls()[17].rect, QRect(423, 63, 163, 56));
            QCOMPARE(t.Controls()[21].caption, QString("新品先体验"));
            QCOMPARE(t.Controls()[14].rect, QRect(431, 101, 8, 8));
        }
    }

    // --- Built dialogs -------------------------------------------------------
    void widgetsSitAtTheirPixelRectangles_data() { TemplateRows(); }
    void widgetsSitAtTheirPixelRectangles() {
        QFETCH(int, number);
        const CDialogTemplate t = Loaded(number);
        QDialog dialog;
        const QHash<int, QWidget*> built = t.Build(dialog);
        const DialogBaseUnits base = CDialogTemplate::BaseUnitsOf(t.PageFont());
        QCOMPARE(dialog.size(), CDialogTemplate::ToPixels(t.Size(), base));
        QList<QWidget*> unclaimed = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(unclaimed.size(), int(t.Controls().size()));
        for (const DialogControl& c : t.Controls()) {
            const QRect px = CDialogTemplate::ToPixels(c.rect, base);
            QWidget* w = nullptr;
            for (QWidget* candidate : unclaimed) {
                if (Id(candidate) == c.id && Caption(candidate) == c.caption &&
                    candidate->geometry() == px) {
                    w = candidate;
                }
            }
            QVERIFY2(w != nullptr, qPrintable(QString("control %1 \"%2\" not at (%3,%4 %5x%6)")
                                                  .arg(c.id)
                                                  .arg(c.caption)
                                                  .arg(px.x())
                                                  .arg(px.y())
                                                  .arg(px.width())
                                                  .arg(px.height())));
            unclaimed.removeOne(w);
            const QByteArray cls = w->metaObject()->className();
            QVERIFY2(cls == kKindClasses[int(c.kind)] || (c.Has(kMultiLine) && cls == "QFrame"),
                     cls.constData());
            if (c.id != -1) {
                QCOMPARE(w->objectName(), QString::number(c.id));
                QCOMPARE(built.value(c.id), w);
                QCOMPARE(CDialogTemplate::Control(dialog, c.id), w);
            }
        }
        QCOMPARE(qobject_cast<QLabel*>(built[IDC_STATUS])->alignment(), Qt::AlignCenter);
        QVERIFY(qobject_cast<QPushButton*>(built[IDC_CAPTURE_ONE])->isDefault());
        QVERIFY(!qobject_cast<QPushButton*>(built.value(number == IDD_BLACK_PAGE
                                                            ? IDC_CAPTURE_CONTINUOUS
                                                            : IDC_COLOUR_CAPTURE_CONTINUOUS))
                     ->isDefault());
    }

    // Labels and group boxes cover other controls; clicks must reach those.
    void eachControlIsTheOneUnderItsCentre_data() { TemplateRows(); }
    void eachControlIsTheOneUnderItsCentre() {
        QFETCH(int, number);
        const CDialogTemplate t = Loaded(number);
        QDialog dialog;
        const QHash<int, QWidget*> built = t.Build(dialog);
        for (QWidget* w : built) {
            if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w) ||
                qobject_cast<CHyperLink*>(w)) {
                QCOMPARE(Id(dialog.childAt(w->geometry().center())), Id(w));
            }
        }
    }

    void enterClicksTheDefaultButton_data() {
        QTest::addColumn<bool>("embedded");
        QTest::newRow("child of a window") << true;
        QTest::newRow("own window") << false;
    }
    void enterClicksTheDefaultButton() {
        QFETCH(bool, embedded);
        QWidget host;
        auto* dialog = new QDialog(embedded ? &host : nullptr);
        std::unique_ptr<QDialog> owned(embedded ? nullptr : dialog);
        const QHash<int, QWidget*> built = Loaded(IDD_BLACK_PAGE).Build(*dialog);
        QCOMPARE(dialog->isWindow(), !embedded);
        QWidget* window = embedded ? &host : dialog;
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        auto* check = static_cast<QCheckBox*>(built[IDC_SHOW_IMAGE]);
        QSignalSpy one(static_cast<QPushButton*>(built[IDC_CAPTURE_ONE]), &QPushButton::clicked);
        QSignalSpy continuous(static_cast<QPushButton*>(built[IDC_CAPTURE_CONTINUOUS]),
                              &QPushButton::clicked);
        const auto enterIn = [&](int id) {
            built[id]->setFocus();
            QCOMPARE(QApplication::focusWidget(), built[id]);
            QTest::keyClick(built[id], Qt::Key_Return);
        };
        built[IDC_CAPTURE_ONE]
            ->setFocus();  // leaving it must not cost IDC_CAPTURE_ONE its default state
        enterIn(IDC_THRESHOLD);
        enterIn(IDC_ROWS);
        enterIn(IDC_SHOW_IMAGE);
        QCOMPARE(one.count(), 3);
        QVERIFY(!check->isChecked());
        enterIn(IDC_CAPTURE_CONTINUOUS);  // a focused push button takes Enter itself
        QCOMPARE(continuous.count(), 1);
        QCOMPARE(one.count(), 3);
        built[IDC_CAPTURE_ONE]->setEnabled(false);
        enterIn(IDC_COLUMNS);
        QCOMPARE(one.count(), 3);
        QCOMPARE(continuous.count(), 1);
        QVERIFY(dialog->isVisible());
    }

    void radioButtonsFormOneExclusiveGroup() {
        QDialog dialog;
        const QHash<int, QWidget*> built = Loaded(IDD_BLACK_PAGE).Build(dialog);
        auto* oneToOne = qobject_cast<QRadioButton*>(built[IDC_ONE_TO_ONE]);
        auto* scale = qobject_cast<QRadioButton*>(built[IDC_SCALE_TO_AREA]);
        QButtonGroup* group = oneToOne->group();
        QVERIFY(group != nullptr);
        QCOMPARE(scale->group(), group);
        QVERIFY(group->exclusive());
        QCOMPARE(group->buttons().size(), 2);
        oneToOne->click();
        scale->click();
        QVERIFY(!oneToOne->isChecked());
        QCOMPARE(group->checkedId(), IDC_SCALE_TO_AREA);
        oneToOne->click();
        QCOMPARE(group->checkedId(), IDC_ONE_TO_ONE);
        QVERIFY(!qobject_cast<QCheckBox*>(built[IDC_SHOW_IMAGE])->isChecked());  // not in the group
    }

    void tabFollowsTemplateOrder_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<bool>("replaceRows");
        QTest::addColumn<QList<int>>("order");
        const QList<int> order102{IDC_CAPTURE_ONE, IDC_CAPTURE_CONTINUOUS, IDC_SHOW_IMAGE,
                                  IDC_SHOW_BINARY, IDC_THRESHOLD,          IDC_COLUMNS,
                                  IDC_ROWS,        IDC_COLUMN_GAP,         IDC_ROW_GAP,
                                  IDC_VALUES};
        QTest::newRow("102") << IDD_BLACK_PAGE << false << order102;
        QTest::newRow("102, rows box replaced") << IDD_BLACK_PAGE << true << order102;
        QTest::newRow("103") << IDD_COLOUR_PAGE << false
                             << QList<int>{IDC_CAPTURE_ONE,
                                           IDC_COLOUR_CAPTURE_CONTINUOUS,
                                           IDC_COLOUR_SCALE_TO_AREA,
                                           IDC_COLUMNS,
                                           IDC_ROWS,
                                           IDC_COLUMN_GAP,
                                           IDC_ROW_GAP};
    }
    void tabFollowsTemplateOrder() {
        QFETCH(int, number);
        QFETCH(bool, replaceRows);
        QFETCH(QList<int>, order);
        const CDialogTemplate t = Loaded(number);
        QDialog dialog;
        const QHash<int, QWidget*> built = t.Build(dialog);
        QHash<int, QWidget*> widgets = built;
        if (replaceRows) {
            // A new widget would otherwise join the end of the focus chain.
            const QRect place = built[IDC_ROWS]->geometry();
            QPointer<QWidget> old = built[IDC_ROWS];
            auto* rows = new QPlainTextEdit;
            QCOMPARE(t.Replace(dialog, IDC_ROWS, rows), rows);
            QVERIFY(old.isNull());
            QCOMPARE(CDialogTemplate::Control(dialog, IDC_ROWS), rows);
            QCOMPARE(rows->parentWidget(), &dialog);
            QCOMPARE(rows->geometry(), place);
            QCOMPARE(rows->objectName(), QString("1007"));
            rows->setTabChangesFocus(true);
            widgets[IDC_ROWS] = rows;
            QWidget spare;
            QVERIFY(t.Replace(dialog, 4711, &spare) == nullptr);
        }
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        widgets[order.first()]->setFocus();
        QList<int> visited{Id(QApplication::focusWidget())};
        for (int i = 0; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << Id(QApplication::focusWidget());
        }
        QCOMPARE(visited, order + QList<int>{order.first()});
    }

    // Every caption fits its control in the fonts that really draw it, and
    // no character is drawn as a missing-glyph box.
    void captionsFitAndRender_data() { TemplateRows(); }
    void captionsFitAndRender() {
        QFETCH(int, number);
        QDialog dialog;
        const CDialogTemplate t = Loaded(number);
        t.Build(dialog);
        // Known: the 14-unit label after the rows box is narrower than its
        // caption in any font; a wrapping static text shows only its first word.
        const QString known = "行  *";
        QStringList overflows;
        QStringList unexpected;
        QStringList families;
        for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QString caption = Caption(w);
            if (caption.isEmpty()) {
                continue;
            }
            bool missing = false;
            const QSize need = Needed(w, families, missing);
            QVERIFY2(!missing, qPrintable("no glyph for a character of " + caption));
            const QSize have = w->size();
            qInfo("%d %-6d %-24s needs %3d x %2d, has %3d x %2d", number, Id(w),
                  qPrintable(caption), need.width(), need.height(), have.width(), have.height());
            if (need.width() > have.width() || need.height() > have.height()) {
                const QString overflow = QString("\"%1\" (%2) by %3 x %4 px")
                                             .arg(caption)
                                             .arg(Id(w))
                                             .arg(qMax(0, need.width() - have.width()))
                                             .arg(qMax(0, need.height() - have.height()));
                overflows << overflow;
                if (caption != known) {
                    unexpected << overflow;
                }
            }
        }
        families.removeDuplicates();
        qInfo("%d: captions drawn with %s", number, qPrintable(families.join(", ")));
        if (!overflows.isEmpty()) {
            qWarning("%d: captions too big: %s", number, qPrintable(overflows.join("; ")));
        }
        QVERIFY2(unexpected.isEmpty(), qPrintable("captions too big: " + unexpected.join("; ")));
    }

    void screenshots_data() { TemplateRows(); }
    void screenshots() {
        QFETCH(int, number);
        QDialog dialog;
        const QHash<int, QWidget*> built = Loaded(number).Build(dialog);
        static_cast<QLabel*>(built[IDC_STATUS])->setText("Tavix工作室欢迎您使用TavixTool！");
        static_cast<QLineEdit*>(built[IDC_ROWS])->setText("120");
        static_cast<QLineEdit*>(built[IDC_COLUMNS])->setText("160");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QString path =
            QCoreApplication::applicationDirPath() + QString("/template-%1.png").arg(number);
        QVERIFY(dialog.grab().save(path));
        qInfo("saved %s", qPrintable(path));
    }
};

QTEST_MAIN(DialogTemplateTest)
#include "DialogTemplateTest.moc"
