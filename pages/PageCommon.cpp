#include "pages/PageCommon.h"

#include <QDialog>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include "capture/CaptureBase.h"
#include "pages/DialogTemplate.h"
#include "pages/PictureView.h"
#include "shell/HyperLink.h"

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

CPictureView* BuildPage(QDialog& dialog, CDialogTemplate& tpl, int number, QWidget* parent,
                        CPictureSurface& surface) {
    if (!tpl.Load(number))
        return nullptr;
    dialog.setParent(parent);
    dialog.hide();
    tpl.Build(dialog);
    auto* view = new CPictureView(&surface);
    tpl.Replace(dialog, 1001, view);
    surface.Resize(view->width(), view->height());
    surface.Fill(0xF0F0F0);
    return view;
}

std::function<void(const QString&)> WarningBox(QWidget* owner) {
    return [owner](const QString& text) {
        QMessageBox::warning(owner, QStringLiteral("TavixTool"), text);
    };
}

QFont SetUpLabels(QWidget* status, CHyperLink* about, CHyperLink* product1, CHyperLink* product2) {
    const QFont font = LabelFont();
    status->setFont(font);
    for (CHyperLink* link : {about, product1, product2})
        link->setFont(font);
    about->SetTarget(AboutAddress());
    product1->SetTarget(CameraBoardAddress());
    product2->SetTarget(SimulatorAddress());
    return font;
}

bool ValidateSizeAndGaps(const QLineEdit* rows, const QLineEdit* columns,
                         const QLineEdit* columnGap, const QLineEdit* rowGap, CCaptureBase& engine,
                         std::string& message) {
    struct SizeBox {
        const QLineEdit* box;
        uint32_t* member;
        const char *empty, *notPositive, *tooLarge;
    };
    for (const SizeBox& b : {SizeBox{rows, &engine.m_nRows, "请输入图像行数",
                                     "整幅图的显示行数必须大于0", "图像行数不能大于9999"},
                             SizeBox{columns, &engine.m_nColumns, "请输入图像列数",
                                     "整幅图的显示列数必须大于0", "图像列数不能大于9999"}}) {
        if (BoxEmpty(b.box)) {
            message = b.empty;
            return false;
        }
        const int n = BoxNumber(b.box);
        *b.member = static_cast<uint32_t>(n);
        if (n <= 0) {
            message = b.notPositive;
            return false;
        }
        if (n > 9999) {
            message = b.tooLarge;
            return false;
        }
    }
    engine.m_nFrameSize = engine.m_nRows * engine.m_nColumns;
    struct GapBox {
        const QLineEdit* box;
        uint32_t* member;
        const char *empty, *outOfRange;
    };
    for (const GapBox& b :
         {GapBox{columnGap, &engine.m_nColumnGap, "请输入间隔列数", "间隔列数必须在0到1000之间"},
          GapBox{rowGap, &engine.m_nRowGap, "请输入间隔行数", "间隔行数必须在0到1000之间"}}) {
        if (BoxEmpty(b.box)) {
            message = b.empty;
            return false;
        }
        const int n = BoxNumber(b.box);
        *b.member = static_cast<uint32_t>(n);
        if (n < 0 || n > 1000) {
            message = b.outOfRange;
            return false;
        }
    }
    return true;
}

void CaptureClicked(CCaptureBase& engine, int mode, QPushButton* button, const QString& idleCaption,
                    const std::function<bool(std::string&)>& validate,
                    const std::function<void()>& prepare) {
    const QString stop = QStringLiteral("停止采集");
    engine.m_nMode = mode;
    const QString caption = button->text();
    if (caption == stop) {
        engine.StopWorker();
        return;
    }
    if (caption != idleCaption)
        return;
    std::string message;
    if (!validate(message)) {
        engine.ShowStatus(message);
        return;
    }
    button->setText(stop);
    prepare();
    // The picture surface takes the size of the area just measured.
    if (engine.m_wndPicture.Width() != engine.m_nAreaWidth ||
        engine.m_wndPicture.Height() != engine.m_nAreaHeight)
        engine.m_wndPicture.Resize(engine.m_nAreaWidth, engine.m_nAreaHeight);
    if (engine.StartWorker() == 0)
        engine.ShowStatus("采集未能启动，请稍后再试");
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
