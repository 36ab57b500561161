// What the two capture pages share: reading their boxes, the exchange of
// numbers with the boxes, the label font and the link addresses.
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>
#include <functional>

class QLineEdit;
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

// The link labels' addresses: pages shipped beside the executable.
QString AboutAddress();
QString CameraBoardAddress();
QString SimulatorAddress();

}  // namespace page
