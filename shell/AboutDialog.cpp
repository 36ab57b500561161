#include "shell/AboutDialog.h"

#include <QLabel>
#include <QPushButton>

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("关于 TavixTool"));
    QFont font(QStringLiteral("SimSun"));
    font.setPointSize(9);
    setFont(font);
    // 235 x 55 dialog units at the 9-point font's base units of 6 x 12 pixels.
    setFixedSize(353, 83);
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/app/tavixtool-32.png")));
    icon->setGeometry(17, 26, 32, 32);
    auto* name = new QLabel(tr("TavixTool 1.0 版"), this);
    name->setGeometry(60, 15, 200, 15);
    auto* line2 = new QLabel(tr("摄像头测试工具"), this);
    line2->setGeometry(60, 38, 200, 15);
    auto* ok = new QPushButton(tr("确定"), this);
    ok->setObjectName(QStringLiteral("1"));
    ok->setGeometry(267, 11, 75, 23);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
