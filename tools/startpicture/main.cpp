// Draws the start picture that the view shows until a page is chosen:
// 2000 x 1000 pixels, saved as a 256-colour (indexed) PNG, with its texts in
// Chinese (start.png) or English (start-en.png).
//   tavix-startpicture [--english] OUTPUT.png
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "tools/camsim/FrameSource.h"

namespace {

// A sample frame as the tool shows it: the simulator's moving square, enlarged.
QImage SampleGray() {
    camsim::FrameSource source(60, 80, false, camsim::Pattern::Moving);
    const std::vector<uint8_t> px = source.Frame(12);
    QImage img(80, 60, QImage::Format_RGB32);
    for (int r = 0; r < 60; ++r)
        for (int c = 0; c < 80; ++c) {
            const int v = px[r * 80 + c];
            img.setPixel(c, r, qRgb(v, v, v));
        }
    return img;
}

QImage SampleColour() {
    QImage img(8, 1, QImage::Format_RGB32);
    const QRgb bars[8] = {qRgb(255, 255, 255), qRgb(255, 255, 0), qRgb(0, 255, 255),
                          qRgb(0, 255, 0),     qRgb(255, 0, 255), qRgb(255, 0, 0),
                          qRgb(0, 0, 255),     qRgb(0, 0, 0)};
    for (int i = 0; i < 8; ++i)
        img.setPixel(i, 0, bars[i]);
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool english = argc == 3 && qstrcmp(argv[1], "--english") == 0;
    if (argc != 2 && !english) {
        std::fprintf(stderr, "usage: tavix-startpicture [--english] OUTPUT.png\n");
        return 2;
    }
    const char* output = argv[argc - 1];
    QImage picture(2000, 1000, QImage::Format_RGB32);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    // Flat colours: a 256-colour picture has no room for smooth gradients.
    p.fillRect(picture.rect(), QColor(0x12, 0x2b, 0x66));
    p.fillRect(QRect(0, 0, 2000, 12), QColor(0x42, 0x8e, 0xff));
    p.fillRect(QRect(0, 988, 2000, 12), QColor(0x42, 0x8e, 0xff));

    QFont title(QStringLiteral("WenQuanYi Micro Hei"));
    title.setPixelSize(96);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(110, 120, 1000, 130), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("TavixTool"));
    QFont sub = title;
    sub.setPixelSize(44);
    sub.setBold(false);
    p.setFont(sub);
    p.setPen(QColor(0xd6, 0xdf, 0xf7));
    p.drawText(QRect(115, 260, 1000, 60), Qt::AlignLeft,
               english ? QStringLiteral("Camera test tool") : QStringLiteral("摄像头测试工具"));
    QFont body = sub;
    body.setPixelSize(30);
    p.setFont(body);
    const char* chinese[] = {"串口接收摄像头板的原始图像帧", "按帧头字节找到每一帧",
                             "黑白图像与 U,Y,V 彩色图像", "单幅采集或连续采集，边收边画",
                             "黑白图像可列出二值化的 0/1 数据"};
    const char* inEnglish[] = {"Raw picture frames from the camera board's serial line",
                               "Each frame found by its header byte",
                               "Grayscale pictures and U,Y,V color pictures",
                               "Capture one or continuously, drawn as it arrives",
                               "Grayscale pictures listed as binarized 0/1 data"};
    int y = 380;
    for (const char* line : english ? inEnglish : chinese) {
        p.setBrush(QColor(0x42, 0x8e, 0xff));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(128, y + 20), 8, 8);
        p.setPen(Qt::white);
        p.drawText(QRect(150, y, 900, 44), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8(line));
        y += 64;
    }
    p.setPen(QColor(0xd6, 0xdf, 0xf7));
    p.drawText(
        QRect(110, 860, 1200, 44), Qt::AlignLeft | Qt::AlignVCenter,
        english ? QStringLiteral("Choose \"Grayscale data\" or \"Color data\" on the left to begin")
                : QStringLiteral("在左侧选择“黑白数据”或“彩色数据”开始"));

    // The sample frames, framed like the picture area.
    const QRect gray(1150, 140, 640, 480);
    p.fillRect(gray.adjusted(-6, -6, 6, 6), QColor(0xf0, 0xf0, 0xf0));
    p.drawImage(gray, SampleGray());
    const QRect colour(1150, 680, 640, 180);
    p.fillRect(colour.adjusted(-6, -6, 6, 6), QColor(0xf0, 0xf0, 0xf0));
    p.drawImage(colour, SampleColour());
    p.end();

    const QImage indexed = picture.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    if (indexed.colorCount() > 256 || !indexed.save(QString::fromLocal8Bit(output), "PNG")) {
        std::fprintf(stderr, "tavix-startpicture: cannot write %s\n", output);
        return 1;
    }
    return 0;
}
