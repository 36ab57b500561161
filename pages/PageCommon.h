// What the two capture pages share: reading their boxes, the exchange of
// numbers with the boxes, the label font and the link addresses.
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>
#include <functional>

#include <string>

class CCaptureBase;
class CDialogTemplate;
class CHyperLink;
class CPictureSurface;
class CPictureView;
class QDialog;
class QLineEdit;
class QPushButton;
class QWidget;

namespace page {

// The number at the start of a box's text: leading blanks, an optional sign,
// digits up to the first other character; 0 without leading digits.
int BoxNumber(const QLineEdit* box);
// A box is empty only when its text is the empty string.
bool BoxEmpty(const QLineEdit* box);

// The exchange from a box into an unsigned member: the text must be an
// unsigned decimal number (blanks around it allowed); otherwise the member
// keeps its value, `warn` is told and false is returned. A number outside
// [low, high] (when high >= low) is stored all the same, then warned about.
bool ExchangeUnsigned(const QLineEdit* box, uint32_t& member, uint32_t low, uint32_t high,
                      const std::function<void(const QString&)>& warn);
// The exchange towards a box.
void ShowUnsigned(QLineEdit* box, uint32_t value);

// Bold Arial 12 (Liberation Sans where Arial is missing, the same metrics).
QFont LabelFont();

// Builds a page from template `number` as a hidden child of `parent`, with a
// picture view of `surface` in place of the picture control 1001, and sizes
// and clears the surface to match. Null when the template cannot be loaded.
CPictureView* BuildPage(QDialog& dialog, CDialogTemplate& tpl, int number, QWidget* parent,
                        CPictureSurface& surface);

// The exchange's warnings in a message box owned by `owner`.
std::function<void(const QString&)> WarningBox(QWidget* owner);

// Gives the label font to the status line and the three links and points the
// links at their pages; returns the font.
QFont SetUpLabels(QWidget* status, CHyperLink* about, CHyperLink* product1, CHyperLink* product2);

// The size and gap boxes of a page, checked in order: each box's own checks,
// then the bound the engine needs (rows and columns at most 9999, gaps 0 to
// 1000). Each number goes to the engine as it is read; the frame size follows
// the size boxes. False with the first failure's message.
bool ValidateSizeAndGaps(const QLineEdit* rows, const QLineEdit* columns,
                         const QLineEdit* columnGap, const QLineEdit* rowGap, CCaptureBase& engine,
                         std::string& message);

// A capture button's click: with the caption "停止采集" it stops the capture;
// with its idle caption it validates, then shows "停止采集", prepares and
// starts the engine; any other caption does nothing.
void CaptureClicked(CCaptureBase& engine, int mode, QPushButton* button, const QString& idleCaption,
                    const std::function<bool(std::string&)>& validate,
                    const std::function<void()>& prepare);

// The link labels' addresses: pages shipped beside the executable.
QString AboutAddress();
QString CameraBoardAddress();
QString SimulatorAddress();

}  // namespace page
