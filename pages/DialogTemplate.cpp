#include "pages/DialogTemplate.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QScreen>
#include <QSet>
#include <QStringDecoder>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <QtEndian>
#include <QtMath>
#include <algorithm>
#include <climits>

#include "ui/HyperLink.h"

const char* const CDialogTemplate::kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

namespace {

struct Token {
    QString text;
    bool quoted = false;
};

// Splits a line into blank-separated words; a word in double quotes may hold
// blanks and the escapes \" and \\. False with error set on a bad quote.
bool Tokenize(const QString& line, std::vector<Token>& tokens, QString& error) {
    const int n = line.size();
    int i = 0;
    while (true) {
        while (i < n && line[i].isSpace()) {
            ++i;
        }
        if (i >= n) {
            return true;
        }
        Token token;
        if (line[i] == QLatin1Char('"')) {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = line[i++];
                if (c == QLatin1Char('\\') && i < n &&
                    (line[i] == QLatin1Char('"') || line[i] == QLatin1Char('\\'))) {
                    token.text += line[i++];
                } else if (c == QLatin1Char('"')) {
                    closed = true;
                    break;
                } else {
                    token.text += c;
                }
            }
            if (!closed) {
                error = QStringLiteral("quoted text not closed");
                return false;
            }
            if (i < n && !line[i].isSpace()) {
                error = QStringLiteral("blank expected after quoted text");
                return false;
            }
        } else {
            while (i < n && !line[i].isSpace()) {
                if (line[i] == QLatin1Char('"')) {
                    error = QStringLiteral("quote inside a word");
                    return false;
                }
                token.text += line[i++];
            }
        }
        tokens.push_back(token);
    }
}

bool ToInt(const Token& token, int& value) {
    bool ok = false;
    value = token.text.toInt(&ok, 10);
    return ok && !token.quoted;
}

struct KindName {
    const char* name;
    ControlKind kind;
};
const KindName kKinds[] = {
    {"pushbutton", ControlKind::PushButton},
    {"defpushbutton", ControlKind::DefPushButton},
    {"checkbox", ControlKind::CheckBox},
    {"radiobutton", ControlKind::RadioButton},
    {"edit", ControlKind::Edit},
    {"label", ControlKind::Label},
    {"frame", ControlKind::Frame},
    {"link", ControlKind::Link},
    {"groupbox", ControlKind::GroupBox},
};

struct FlagName {
    const char* name;
    ControlFlag flag;
};
const FlagName kFlags[] = {
    {"tabstop", kTabStop}, {"group", kGroup},         {"center", kCenter},
    {"vcenter", kVCenter}, {"multiline", kMultiLine}, {"readonly", kReadOnly},
    {"hscroll", kHScroll}, {"vscroll", kVScroll},     {"border", kBorder},
};

bool ParseKind(const QString& text, ControlKind& kind) {
    for (const KindName& k : kKinds) {
        if (text == QLatin1String(k.name)) {
            kind = k.kind;
            return true;
        }
    }
    return false;
}

// "-" or a comma-separated list of flag names; bad names the first unknown.
bool ParseFlags(const QString& text, unsigned& flags, QString& bad) {
    flags = 0;
    if (text == QLatin1String("-")) {
        return true;
    }
    for (const QString& word : text.split(QLatin1Char(','))) {
        bool known = false;
        for (const FlagName& f : kFlags) {
            if (word == QLatin1String(f.name)) {
                flags |= f.flag;
                known = true;
            }
        }
        if (!known) {
            bad = word;
            return false;
        }
    }
    return true;
}

// Debian's fonts-wine puts Wine's replacements of Windows faces (Tahoma among
// them) where fontconfig does not look; register the face from there when
// the system lacks it.
void AddWineFace(const QString& face) {
    static QSet<QString> tried;
    if (face.isEmpty() || tried.contains(face) || QFontDatabase::hasFamily(face)) {
        return;
    }
    tried.insert(face);
    const QString path =
        QStringLiteral("/usr/share/wine/fonts/") + face.toLower() + QStringLiteral(".ttf");
    if (!QFile::exists(path)) {
        return;
    }
    const int id = QFontDatabase::addApplicationFont(path);
    if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).contains(face)) {
        QFontDatabase::removeApplicationFont(id);
    }
}

// Tab stops take keyboard focus by Tab; other focusable controls only by click.
void ApplyFocusPolicy(QWidget* widget, const DialogControl& control) {
    if (control.Has(kTabStop)) {
        if (!(widget->focusPolicy() & Qt::TabFocus)) {
            widget->setFocusPolicy(Qt::StrongFocus);
        }
    } else if (widget->focusPolicy() & Qt::TabFocus) {
        widget->setFocusPolicy(Qt::ClickFocus);
    }
}

// Chains the tab stops among widgets (template order, null where unknown).
void ChainTabStops(const std::vector<DialogControl>& controls,
                   const std::vector<QWidget*>& widgets) {
    QWidget* previous = nullptr;
    for (size_t i = 0; i < controls.size() && i < widgets.size(); ++i) {
        if (!controls[i].Has(kTabStop) || widgets[i] == nullptr) {
            continue;
        }
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, widgets[i]);
        }
        previous = widgets[i];
    }
}

// Enter in the dialog clicks the focused push button, or else the default
// button, as a Windows dialog does. QDialog's own handling cannot do this for
// a dialog that is a child widget: a push button that loses the focus looks
// for its dialog as its window and, finding none, drops its default state.
// Buttons built here are therefore never auto-default, and this filter on
// the dialog takes the Enter keys that its controls leave alone.
class EnterKeyFilter : public QObject {
public:
    EnterKeyFilter(QDialog& dialog, QPushButton* defaultButton)
        : QObject(&dialog), m_dialog(&dialog), m_defaultButton(defaultButton) {
        dialog.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_dialog || event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            return false;
        }
        QPushButton* button = m_defaultButton;
        auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
        if (focused != nullptr && m_dialog->isAncestorOf(focused)) {
            button = focused;
        }
        if (button == nullptr || !button->isVisible()) {
            return false;
        }
        if (button->isEnabled()) {
            button->click();
        }
        return true;
    }

private:
    QDialog* m_dialog;
    QPointer<QPushButton> m_defaultButton;
};

// A built widget's place in the template's list of controls.
constexpr const char* kIndexProperty = "ctrlIndex";

// The caption in the language shown; the captions are listed for the
// translators in pages/TemplateTexts.cpp.
QString Caption(const DialogControl& control) {
    if (control.caption.isEmpty()) {
        return control.caption;
    }
    return QCoreApplication::translate("DialogTemplate", control.caption.toUtf8().constData());
}

QWidget* CreateWidget(const DialogControl& control, QDialog& dialog) {
    const QString caption = Caption(control);
    switch (control.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(caption, &dialog);
            button->setAutoDefault(false);  // EnterKeyFilter does its part
            button->setDefault(control.kind == ControlKind::DefPushButton);
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(caption, &dialog);
        case ControlKind::RadioButton:
            return new QRadioButton(caption, &dialog);
        case ControlKind::Edit: {
            if (control.Has(kMultiLine)) {
                // Stands in for the page's own multi-line widget (Replace).
                auto* placeholder = new QFrame(&dialog);
                if (control.Has(kBorder)) {
                    placeholder->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
                }
                return placeholder;
            }
            auto* edit = new QLineEdit(&dialog);
            edit->setReadOnly(control.Has(kReadOnly));
            return edit;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(caption, &dialog);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment((control.Has(kCenter) ? Qt::AlignHCenter : Qt::AlignLeft) |
                                (control.Has(kVCenter) ? Qt::AlignVCenter : Qt::AlignTop));
            // Static text wraps at word breaks unless centred vertically; what
            // wraps below the rectangle is cut off.
            label->setWordWrap(!control.Has(kVCenter));
            // Static text does not take clicks; they reach what lies beneath.
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
            return label;
        }
        case ControlKind::Frame: {
            // The picture area; the page puts its picture view in its place.
            auto* frame = new QFrame(&dialog);
            frame->setFrameStyle(QFrame::Box | QFrame::Plain);
            QPalette palette = frame->palette();
            palette.setColor(QPalette::WindowText, palette.color(QPalette::Dark));
            frame->setPalette(palette);
            frame->setAttribute(Qt::WA_TransparentForMouseEvents);
            return frame;
        }
        case ControlKind::Link: {
            auto* link = new CHyperLink(&dialog);
            link->setText(caption);
            return link;
        }
        case ControlKind::GroupBox: {
            auto* box = new QGroupBox(caption, &dialog);
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            return box;
        }
    }
    return nullptr;
}

// The width `widget` needs to show its caption on one line: the text's
// advance plus what the control keeps beside it (frame, margins, the check
// box's mark). 0 for a kind that keeps its template size.
int NeededWidth(ControlKind kind, QWidget* widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    switch (kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            // The style's own measure: text, icon, margins and frame.
            return static_cast<QPushButton*>(widget)->sizeHint().width();
        }
        case ControlKind::CheckBox:
        case ControlKind::RadioButton: {
            auto* button = static_cast<QAbstractButton*>(widget);
            QStyleOptionButton option;
            option.initFrom(button);
            const QStyle::SubElement contents = kind == ControlKind::CheckBox
                                                    ? QStyle::SE_CheckBoxContents
                                                    : QStyle::SE_RadioButtonContents;
            const int text = button->style()->subElementRect(contents, &option, button).width();
            return metrics.horizontalAdvance(button->text()) + (button->width() - text);
        }
        case ControlKind::Label:
        case ControlKind::Link: {
            // Wrapping text breaks at its exact advance: a pixel to spare.
            auto* label = static_cast<QLabel*>(widget);
            const qreal advance = QFontMetricsF(label->font()).horizontalAdvance(label->text());
            return qCeil(advance) + 1 + (label->width() - label->contentsRect().width());
        }
        default:
            return 0;
    }
}

}  // namespace

void CDialogTemplate::FitTranslatedCaptions(QDialog& dialog) const {
    // The built widgets in template order (group boxes and other controls
    // without an id included).
    std::vector<QWidget*> widgets(m_controls.size(), nullptr);
    for (QObject* child : dialog.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        bool ok = false;
        const int index = widget != nullptr ? widget->property(kIndexProperty).toInt(&ok) : -1;
        if (ok && index >= 0 && index < static_cast<int>(widgets.size())) {
            widgets[static_cast<size_t>(index)] = widget;
        }
    }
    if (std::find(widgets.begin(), widgets.end(), nullptr) != widgets.end()) {
        return;  // not this template's dialog, or a control has gone
    }
    const DialogBaseUnits base = BaseUnitsOf(dialog.font());
    const int gap = std::max(1, MulDiv(1, base.x, 4));  // a dialog unit between controls
    for (size_t i = 0; i < m_controls.size(); ++i) {
        const DialogControl& control = m_controls[i];
        QWidget* widget = widgets[i];
        if (control.kind == ControlKind::GroupBox || Caption(control) == control.caption) {
            continue;
        }
        const int needed = NeededWidth(control.kind, widget);
        const QRect place = widget->geometry();
        if (needed <= place.width()) {
            continue;
        }
        // The edges it may reach: the dialog's, the group box around it, and
        // the controls beside it on either side.
        int right = dialog.width();
        int left = 0;
        for (size_t j = 0; j < m_controls.size(); ++j) {
            const QRect other = widgets[j]->geometry();
            if (j == i || widgets[j]->isHidden()) {
                continue;
            }
            if (m_controls[j].kind == ControlKind::GroupBox) {
                if (other.contains(place)) {
                    right = std::min(right, other.right() + 1 - 2 * gap);
                    left = std::max(left, other.left() + 2 * gap);
                }
                continue;
            }
            const bool beside = other.top() <= place.bottom() && other.bottom() >= place.top();
            if (beside && other.left() > place.left()) {
                right = std::min(right, other.left() - gap);
            } else if (beside && other.right() < place.left()) {
                // Static text on the left ends where its text ends.
                int end = other.right() + 1;
                if (m_controls[j].kind == ControlKind::Label && !m_controls[j].Has(kCenter)) {
                    end = std::min(end, other.left() + NeededWidth(ControlKind::Label, widgets[j]));
                }
                left = std::max(left, end + gap);
            }
        }
        QRect grown = place;
        grown.setRight(std::max(place.right(), std::min(place.left() + needed, right) - 1));
        // Static text that still clips takes room on its left too, ending
        // where it ended; static text there gives up the room its text leaves.
        if (grown.width() < needed && control.kind == ControlKind::Label) {
            grown.setLeft(std::min(place.left(), std::max(grown.right() + 1 - needed, left)));
            for (size_t j = 0; j < m_controls.size(); ++j) {
                QWidget* other = widgets[j];
                if (j != i && m_controls[j].kind == ControlKind::Label &&
                    other->geometry().intersects(grown) && other->x() < grown.x()) {
                    other->resize(grown.x() - gap - other->x(), other->height());
                }
            }
        }
        widget->setGeometry(grown);
    }
}

bool CDialogTemplate::Fail(const QString& message) {
    *this = CDialogTemplate();
    m_strError = message;
    return false;
}

bool CDialogTemplate::Load(int number) {
    const QString path = QStringLiteral(":/templates/%1.dlg").arg(number);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return Fail(QStringLiteral("no dialog template %1 (%2 not found)").arg(number).arg(path));
    }
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(file.readAll());
    if (decode.hasError()) {
        return Fail(path + QStringLiteral(": not valid UTF-8"));
    }
    if (!Parse(text, path)) {
        return false;
    }
    if (m_nNumber != number) {
        const int declared = m_nNumber;
        return Fail(QStringLiteral("%1: declares dialog %2 instead of %3")
                        .arg(path)
                        .arg(declared)
                        .arg(number));
    }
    return true;
}

bool CDialogTemplate::Parse(const QString& text, const QString& source) {
    CDialogTemplate result;
    bool haveDialog = false;
    bool haveFont = false;
    QHash<int, int> idLines;  // id -> line of its first use
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int index = 0; index < lines.size(); ++index) {
        const int lineNumber = index + 1;
        const QString where = QStringLiteral("%1:%2: ").arg(source).arg(lineNumber);
        QString line = lines[index];
        if (index == 0 && line.startsWith(QChar(0xFEFF))) {
            line.remove(0, 1);
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))) {
            continue;
        }
        std::vector<Token> tokens;
        QString error;
        if (!Tokenize(trimmed, tokens, error)) {
            return Fail(where + error);
        }
        const QString& keyword = tokens[0].text;

        if (keyword == QLatin1String("dialog") && !tokens[0].quoted) {
            if (haveDialog) {
                return Fail(where + QStringLiteral("second dialog line"));
            }
            if (tokens.size() != 4 && tokens.size() != 5) {
                return Fail(where + QStringLiteral("expected: dialog <number> <width> <height> "
                                                   "[child]"));
            }
            int width = 0;
            int height = 0;
            if (!ToInt(tokens[1], result.m_nNumber) || result.m_nNumber <= 0) {
                return Fail(where + QStringLiteral("dialog number must be a positive number"));
            }
            if (!ToInt(tokens[2], width) || !ToInt(tokens[3], height) || width <= 0 ||
                height <= 0) {
                return Fail(where + QStringLiteral("dialog size must be two positive numbers"));
            }
            result.m_size = QSize(width, height);
            if (tokens.size() == 5) {
                if (tokens[4].text != QLatin1String("child") || tokens[4].quoted) {
                    return Fail(where +
                                QStringLiteral("unknown dialog style \"%1\"").arg(tokens[4].text));
                }
                result.m_bChild = true;
            }
            haveDialog = true;
        } else if (keyword == QLatin1String("font") && !tokens[0].quoted) {
            if (!haveDialog) {
                return Fail(where + QStringLiteral("font line before the dialog line"));
            }
            if (haveFont) {
                return Fail(where + QStringLiteral("second font line"));
            }
            if (tokens.size() != 3 || !tokens[2].quoted) {
                return Fail(where + QStringLiteral("expected: font <points> \"<face>\""));
            }
            if (!ToInt(tokens[1], result.m_nFontPoints) || result.m_nFontPoints <= 0) {
                return Fail(where + QStringLiteral("font size must be a positive number"));
            }
            if (tokens[2].text.isEmpty()) {
                return Fail(where + QStringLiteral("font face is empty"));
            }
            result.m_strFontFace = tokens[2].text;
            haveFont = true;
        } else if (keyword == QLatin1String("control") && !tokens[0].quoted) {
            if (!haveFont) {
                return Fail(where + QStringLiteral("control before the dialog and font lines"));
            }
            if (tokens.size() != 9 || !tokens[8].quoted) {
                return Fail(where + QStringLiteral("expected: control <id> <kind> <x> <y> "
                                                   "<width> <height> <flags> \"<caption>\""));
            }
            DialogControl control;
            if (!ToInt(tokens[1], control.id) ||
                (control.id != -1 && (control.id < 1 || control.id > 65535))) {
                return Fail(
                    where +
                    QStringLiteral("id must be -1 or 1 to 65535, not \"%1\"").arg(tokens[1].text));
            }
            if (control.id != -1 && idLines.contains(control.id)) {
                return Fail(where + QStringLiteral("id %1 already used on line %2")
                                        .arg(control.id)
                                        .arg(idLines.value(control.id)));
            }
            if (!ParseKind(tokens[2].text, control.kind) || tokens[2].quoted) {
                return Fail(where +
                            QStringLiteral("unknown control kind \"%1\"").arg(tokens[2].text));
            }
            int r[4];
            for (int k = 0; k < 4; ++k) {
                if (!ToInt(tokens[3 + k], r[k])) {
                    return Fail(where + QStringLiteral("position and size must be numbers, "
                                                       "not \"%1\"")
                                            .arg(tokens[3 + k].text));
                }
            }
            if (r[0] < 0 || r[1] < 0 || r[2] <= 0 || r[3] <= 0) {
                return Fail(where + QStringLiteral("negative position or empty size"));
            }
            control.rect = QRect(r[0], r[1], r[2], r[3]);
            if (!QRect(QPoint(0, 0), result.m_size).contains(control.rect)) {
                return Fail(where + QStringLiteral("control reaches outside the %1 x %2 dialog")
                                        .arg(result.m_size.width())
                                        .arg(result.m_size.height()));
            }
            QString badFlag = tokens[7].text;
            if (tokens[7].quoted || !ParseFlags(tokens[7].text, control.flags, badFlag)) {
                return Fail(where + QStringLiteral("unknown flag \"%1\"").arg(badFlag));
            }
            control.caption = tokens[8].text;
            if (control.id != -1) {
                idLines.insert(control.id, lineNumber);
            }
            result.m_controls.push_back(control);
        } else {
            return Fail(where + QStringLiteral("unknown line \"%1\"").arg(keyword));
        }
    }
    if (!haveDialog || !haveFont) {
        return Fail(source + (haveDialog ? QStringLiteral(": no font line")
                                         : QStringLiteral(": no dialog line")));
    }
    *this = result;
    return true;
}

const DialogControl* CDialogTemplate::Find(int id) const {
    for (const DialogControl& control : m_controls) {
        if (control.id == id && id != -1) {
            return &control;
        }
    }
    return nullptr;
}

QFont CDialogTemplate::PageFont() const {
    if (!IsLoaded()) {
        return QFont();
    }
    AddWineFace(m_strFontFace);
    QFont font(m_strFontFace);
    font.setStyleHint(QFont::SansSerif);
    // Whole pixels, as a Windows dialog font is: points × dpi / 72, rounded.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int dpi = screen != nullptr ? qRound(screen->logicalDotsPerInchY()) : 96;
    font.setPixelSize(MulDiv(m_nFontPoints, dpi, 72));
    return font;
}

QHash<int, QWidget*> CDialogTemplate::Build(QDialog& dialog) const {
    QHash<int, QWidget*> built;
    if (!IsLoaded()) {
        return built;
    }
    if (m_bChild && dialog.parentWidget() != nullptr && dialog.isWindow()) {
        dialog.setWindowFlags(Qt::Widget);
    }
    dialog.setFont(PageFont());
    const DialogBaseUnits base = BaseUnitsOf(dialog.font());
    dialog.resize(ToPixels(m_size, base));

    std::vector<QWidget*> widgets;
    std::vector<QWidget*> groupBoxes;
    QButtonGroup* radios = nullptr;
    QPushButton* defaultButton = nullptr;
    for (const DialogControl& control : m_controls) {
        QWidget* widget = CreateWidget(control, dialog);
        widget->setGeometry(ToPixels(control.rect, base));
        widget->setProperty(kIdProperty, control.id);
        widget->setProperty(kIndexProperty, static_cast<int>(widgets.size()));
        if (control.id != -1) {
            widget->setObjectName(QString::number(control.id));
            built.insert(control.id, widget);
        }
        ApplyFocusPolicy(widget, control);
        if (control.Has(kGroup)) {
            radios = nullptr;
        }
        if (control.kind == ControlKind::RadioButton) {
            if (radios == nullptr) {
                radios = new QButtonGroup(&dialog);
                radios->setExclusive(true);
            }
            radios->addButton(static_cast<QRadioButton*>(widget), control.id);
        }
        if (control.kind == ControlKind::GroupBox) {
            groupBoxes.push_back(widget);
        }
        if (control.kind == ControlKind::DefPushButton && defaultButton == nullptr) {
            defaultButton = static_cast<QPushButton*>(widget);
        }
        widgets.push_back(widget);
    }
    // Group boxes come after the controls they frame; keep them behind.
    for (auto it = groupBoxes.rbegin(); it != groupBoxes.rend(); ++it) {
        (*it)->lower();
    }
    ChainTabStops(m_controls, widgets);
    new EnterKeyFilter(dialog, defaultButton);
    return built;
}

QWidget* CDialogTemplate::Replace(QDialog& dialog, int id, QWidget* replacement) const {
    const DialogControl* control = Find(id);
    QWidget* old = Control(dialog, id);
    if (control == nullptr || old == nullptr || replacement == nullptr || replacement == old) {
        return nullptr;
    }
    replacement->setParent(&dialog);
    replacement->setGeometry(old->geometry());
    replacement->setObjectName(old->objectName());
    replacement->setProperty(kIdProperty, id);
    replacement->setProperty(kIndexProperty, old->property(kIndexProperty));
    replacement->setEnabled(old->isEnabled());
    replacement->stackUnder(old);
    replacement->setHidden(old->isHidden());
    ApplyFocusPolicy(replacement, *control);
    delete old;

    std::vector<QWidget*> widgets;
    for (const DialogControl& c : m_controls) {
        widgets.push_back(c.id == -1 ? nullptr : Control(dialog, c.id));
    }
    ChainTabStops(m_controls, widgets);
    return replacement;
}

QWidget* CDialogTemplate::Control(const QDialog& dialog, int id) {
    if (id == -1) {
        return nullptr;
    }
    for (QObject* child : dialog.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget != nullptr && widget->property(kIdProperty) == QVariant(id)) {
            return widget;
        }
    }
    return nullptr;
}

int CDialogTemplate::MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return -1;
    }
    long long n = number;
    long long d = denominator;
    if (d < 0) {
        n = -n;
        d = -d;
    }
    const long long product = n * numerator;
    const long long result = product >= 0 ? (product + d / 2) / d : (product - d / 2) / d;
    if (result > INT_MAX || result < -INT_MAX) {
        return -1;
    }
    return static_cast<int>(result);
}

DialogBaseUnits CDialogTemplate::BaseUnits(int alphabetAdvance, int fontHeight) {
    return {(alphabetAdvance / 26 + 1) / 2, fontHeight};
}

DialogBaseUnits CDialogTemplate::BaseUnitsOf(const QFont& font) {
    const QFontMetrics metrics(font);
    return BaseUnits(metrics.horizontalAdvance(QLatin1String(kAlphabet)), WindowsHeight(font));
}

int CDialogTemplate::WindowsHeight(const QFont& font) {
    const QRawFont raw = QRawFont::fromFont(font);
    const QByteArray os2 = raw.isValid() ? raw.fontTable("OS/2") : QByteArray();
    const qreal unitsPerEm = raw.isValid() ? raw.unitsPerEm() : 0;
    if (os2.size() < 78 || unitsPerEm <= 0) {
        return QFontMetrics(font).height();
    }
    // usWinAscent and usWinDescent, big-endian at offsets 74 and 76.
    const auto word = [&os2](int at) {
        return (static_cast<int>(static_cast<uchar>(os2.at(at))) << 8) |
               static_cast<int>(static_cast<uchar>(os2.at(at + 1)));
    };
    const int winAscent = word(74);
    const int winDescent = word(76);
    const qreal scale = raw.pixelSize() / unitsPerEm;
    return qRound(winAscent * scale) + qRound(winDescent * scale);
}

QRect CDialogTemplate::ToPixels(const QRect& dialogUnits, DialogBaseUnits base) {
    return QRect(MulDiv(dialogUnits.x(), base.x, 4), MulDiv(dialogUnits.y(), base.y, 8),
                 MulDiv(dialogUnits.width(), base.x, 4), MulDiv(dialogUnits.height(), base.y, 8));
}

QSize CDialogTemplate::ToPixels(const QSize& dialogUnits, DialogBaseUnits base) {
    return QSize(MulDiv(dialogUnits.width(), base.x, 4), MulDiv(dialogUnits.height(), base.y, 8));
}
