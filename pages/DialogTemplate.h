// Dialog templates: a page's controls with their positions in dialog units,
// read from the files embedded as :/templates/<number>.dlg (format described
// in res/templates/README.md), and the Qt widgets built from them.
#pragma once

#include <QFont>
#include <QHash>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

class QDialog;
class QWidget;

// What a control is; each kind becomes one widget class (see Build).
enum class ControlKind {
    PushButton,
    DefPushButton,  // the dialog's default button
    CheckBox,
    RadioButton,
    Edit,
    Label,
    Frame,  // grey frame around the picture area
    Link,
    GroupBox,
};

// Style flags of a control.
enum ControlFlag : unsigned {
    kTabStop = 1u << 0,
    kGroup = 1u << 1,  // starts a group; a radio group runs to the next one
    kCenter = 1u << 2,
    kVCenter = 1u << 3,
    kMultiLine = 1u << 4,
    kReadOnly = 1u << 5,
    kHScroll = 1u << 6,
    kVScroll = 1u << 7,
    kBorder = 1u << 8,
};

struct DialogControl {
    int id = -1;  // -1: no id (labels, group boxes)
    ControlKind kind = ControlKind::Label;
    unsigned flags = 0;
    QRect rect;  // dialog units
    QString caption;

    bool Has(ControlFlag flag) const { return (flags & flag) != 0; }
};

// Pixels per 4 dialog units across (x) and per 8 down (y).
struct DialogBaseUnits {
    int x = 0;
    int y = 0;
};

class CDialogTemplate {
public:
    // Name of the dynamic property that carries a built widget's id.
    static constexpr const char* kIdProperty = "ctrlId";

    // Reads :/templates/<number>.dlg. On failure returns false, leaves the
    // template empty and ErrorString() says what is wrong and where.
    bool Load(int number);
    // Reads template text; source names it in error messages.
    bool Parse(const QString& text, const QString& source);
    const QString& ErrorString() const { return m_strError; }
    bool IsLoaded() const { return m_nNumber != 0; }

    int Number() const { return m_nNumber; }
    QSize Size() const { return m_size; }  // dialog units
    bool IsChild() const { return m_bChild; }
    const QString& FontFace() const { return m_strFontFace; }
    int FontPoints() const { return m_nFontPoints; }
    const std::vector<DialogControl>& Controls() const { return m_controls; }
    // The control with this id, or nullptr.
    const DialogControl* Find(int id) const;

    // The template's font as this machine has it, sized in whole pixels for
    // the screen's logical resolution as Windows sizes dialog fonts. A face
    // that fontconfig lacks is looked for among Wine's fonts; failing that
    // the system substitutes a sans font.
    QFont PageFont() const;

    // Gives the dialog the page font and the template's size, and creates one
    // widget per control at its pixel rectangle, named by its id (objectName
    // and property "ctrlId"; controls without one get "ctrlId" -1 and no name):
    //   pushbutton       QPushButton; defpushbutton is the default button
    //   checkbox         QCheckBox
    //   radiobutton      QRadioButton in an exclusive QButtonGroup per group,
    //                    with the control ids as button ids
    //   edit             QLineEdit; multi-line: a placeholder QFrame that the
    //                    page swaps for its value listing with Replace()
    //   label            QLabel, top left aligned and wrapping unless centred
    //   frame            a grey QFrame, a placeholder for the picture view
    //   link             CHyperLink with its caption, not yet attached: the
    //                    page sets its font, attaches it and sets its target
    //   groupbox         QGroupBox, kept behind the other controls and
    //                    letting clicks through to them
    // Tab stops follow template order; other controls are not reached by
    // Tab. Enter clicks the focused push button, else the default button,
    // also when the dialog is a child widget. A child template built on a dialog that has a parent
    // makes the dialog a plain child widget. Call once per dialog. Returns the widgets that have an
    // id, by id.
    QHash<int, QWidget*> Build(QDialog& dialog) const;

    // For a dialog built in another language than the templates' own: widens
    // each control whose translated caption does not fit on one line into
    // the free room on its right (up to its neighbour, its group box's edge
    // or the dialog's), with the fonts the controls have now. Captions shown
    // as written in the template keep the template's geometry.
    void FitTranslatedCaptions(QDialog& dialog) const;

    // Puts replacement in the place of the widget built for id, as the pages
    // do with their placeholders (CValueListing for 1000, CPictureView for
    // 1001): same parent, rectangle, name, id, enabled state, stacking and tab
    // position; deletes the old widget.
    // Returns replacement, or nullptr (replacement untouched) when the
    // template or the dialog has no such control.
    QWidget* Replace(QDialog& dialog, int id, QWidget* replacement) const;

    // The widget built for id on the dialog, or nullptr.
    static QWidget* Control(const QDialog& dialog, int id);

    // --- Dialog units --------------------------------------------------------
    // number × numerator / denominator rounded to the nearest integer, halves
    // away from zero, over 64 bits; -1 when denominator is 0 or the result
    // does not fit an int.
    static int MulDiv(int number, int numerator, int denominator);
    // The base units of a font whose advance for kAlphabet is alphabetAdvance
    // and whose height is fontHeight: x = (alphabetAdvance / 26 + 1) / 2,
    // y = fontHeight.
    static DialogBaseUnits BaseUnits(int alphabetAdvance, int fontHeight);
    // BaseUnits measured with the font: the advance of kAlphabet and
    // WindowsHeight.
    static DialogBaseUnits BaseUnitsOf(const QFont& font);
    // The font's height as Windows measures it: the Windows ascent and
    // descent of its OS/2 table, each scaled to the pixel size and rounded;
    // QFontMetrics::height() for a font without that table. Qt measures
    // fonts that ask for their typographic metrics (Wine's Tahoma does) by
    // those, which are smaller.
    static int WindowsHeight(const QFont& font);
    // Each of x, width converted with base.x / 4 and y, height with base.y / 8.
    static QRect ToPixels(const QRect& dialogUnits, DialogBaseUnits base);
    static QSize ToPixels(const QSize& dialogUnits, DialogBaseUnits base);

    static const char* const kAlphabet;

private:
    bool Fail(const QString& message);

    int m_nNumber = 0;
    QSize m_size;
    bool m_bChild = false;
    QString m_strFontFace;
    int m_nFontPoints = 0;
    std::vector<DialogControl> m_controls;
    QString m_strError;
};
