#include "pages/PageCommon.h"

#include <QFontDatabase>
#include <QLineEdit>
#include <QUrl>

#include "pages/PageSettings.h"
#include "serial/PortOwner.h"

namespace page {

int BoxNumber(const QLineEdit* box) {
    return TextToNumber(box->text().toStdString());
}

bool BoxEmpty(const QLineEdit* box) {
    return box->text().isEmpty();
}

bool ExchangeUnsigned(const QLineEdit* box, uint32_t& member, uint32_t low, uint32_t high,
                      const std::function<void(const QString&)>& warn) {
    const QString text = box->text().trimmed();
    bool digits = !text.isEmpty();
    for (const QChar c : text)
        digits = digits && c.isDigit() && c.unicode() < 128;
    bool ok = false;
    const qulonglong value = digits ? text.toULongLong(&ok) : 0;
    if (!ok || value > 0xFFFFFFFFull) {
        if (warn)
            warn(QStringLiteral("请输入一个正整数。"));
        return false;
    }
    member = static_cast<uint32_t>(value);
    if (high >= low && (member < low || member > high)) {
        if (warn)
            warn(QStringLiteral("请输入一个介于 %1 和 %2 之间的整数。").arg(low).arg(high));
        return false;
    }
    return true;
}

void ShowUnsigned(QLineEdit* box, uint32_t value) {
    box->setText(QString::number(value));
}

QFont LabelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setWeight(QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    if (!QFontDatabase::families().contains(QStringLiteral("Arial")))
        font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    return font;
}

static QString HelpPage(const char* name) {
    return QUrl::fromLocalFile(QString::fromStdString(GetExeDirectory()) + QStringLiteral("help/") +
                               QLatin1String(name))
        .toString();
}

QString AboutAddress() {
    return HelpPage("about.html");
}
QString CameraBoardAddress() {
    return HelpPage("camera-board.html");
}
QString SimulatorAddress() {
    return HelpPage("simulator.html");
}

}  // namespace page
