// Draws the frame-format diagram of the compiled help (images/frame-format.png):
// a grayscale frame and a colour frame as rows of byte boxes. Run through the
// build target help-diagram, which writes the picture into the source tree;
// the picture is committed so that building the help does not need this
// program.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

const QColor kHeader(0xF2, 0xB1, 0x34);
const QColor kPixel(0xD6, 0xE4, 0xF2);
const QColor kU(0xC9, 0xE7, 0xC9);
const QColor kY(0xE8, 0xE8, 0xE8);
const QColor kV(0xF2, 0xD0, 0xD8);
const QColor kInk(0x22, 0x22, 0x22);
const QColor kAccent(0x3A, 0x6E, 0xA5);

const int kBox = 46;  // box width and height
const int kGap = 4;

void Box(QPainter& p, int x, int y, int w, const QColor& fill, const QString& text) {
    p.setPen(QPen(kInk, 1));
    p.setBrush(fill);
    p.drawRect(x, y, w, kBox);
    p.drawText(QRect(x, y, w, kBox), Qt::AlignCenter, text);
}

void Dots(QPainter& p, int x, int y) {
    p.setPen(kInk);
    p.drawText(QRect(x, y, kBox / 2, kBox), Qt::AlignCenter, QStringLiteral("…"));
}

// A brace under the span [x0, x1] at height y, with its caption below.
void Brace(QPainter& p, int x0, int x1, int y, const QString& caption) {
    p.setPen(QPen(kAccent, 1.5));
    p.setBrush(Qt::NoBrush);
    const int mid = (x0 + x1) / 2;
    QPainterPath path;
    path.moveTo(x0, y);
    path.quadTo(x0, y + 8, x0 + 8, y + 8);
    path.lineTo(mid - 6, y + 8);
    path.quadTo(mid, y + 8, mid, y + 14);
    path.quadTo(mid, y + 8, mid + 6, y + 8);
    path.lineTo(x1 - 8, y + 8);
    path.quadTo(x1, y + 8, x1, y);
    p.drawPath(path);
    p.setPen(kAccent);
    p.drawText(QRect(x0 - 40, y + 16, x1 - x0 + 80, 20), Qt::AlignHCenter | Qt::AlignTop, caption);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
        return 2;
    }

    QImage image(760, 296, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(13);
    p.setFont(font);
    QFont bold = font;
    bold.setBold(true);
    bold.setPixelSize(14);

    // Grayscale: header, then rows x columns bytes row by row.
    int y = 34;
    p.setFont(bold);
    p.setPen(kInk);
    p.drawText(QPoint(12, 22), QStringLiteral("灰度（黑白数据）：每个像素 1 个字节"));
    p.setFont(font);
    int x = 12;
    Box(p, x, y, kBox + 10, kHeader, QStringLiteral("帧头\nFF"));
    x += kBox + 10 + kGap;
    const int row1 = x;
    for (const char* name : {"P1,1", "P1,2"}) {
        Box(p, x, y, kBox, kPixel, QString::fromLatin1(name));
        x += kBox + kGap;
    }
    Dots(p, x, y);
    x += kBox / 2 + kGap;
    Box(p, x, y, kBox, kPixel, QStringLiteral("P1,n"));
    x += kBox;
    Brace(p, row1, x, y + kBox + 4, QStringLiteral("第 1 行：n 个字节（n = 列数）"));
    x += kGap;
    const int row2 = x;
    Box(p, x, y, kBox, kPixel, QStringLiteral("P2,1"));
    x += kBox + kGap;
    Dots(p, x, y);
    x += kBox / 2 + kGap;
    Box(p, x, y, kBox, kPixel, QStringLiteral("P2,n"));
    x += kBox;
    Brace(p, row2, x, y + kBox + 4, QStringLiteral("第 2 行"));
    x += kGap;
    Dots(p, x, y);
    x += kBox / 2 + kGap;
    const int last = x;
    Box(p, x, y, kBox, kPixel, QStringLiteral("Pm,1"));
    x += kBox + kGap;
    Dots(p, x, y);
    x += kBox / 2 + kGap;
    Box(p, x, y, kBox, kPixel, QStringLiteral("Pm,n"));
    x += kBox;
    Brace(p, last, x, y + kBox + 4, QStringLiteral("第 m 行（m = 行数）"));
    x += kGap + 8;
    Box(p, x, y, kBox + 10, kHeader.lighter(125), QStringLiteral("帧头\nFF"));
    p.setPen(kInk);
    p.drawText(QRect(x, y + kBox + 8, kBox + 10, 20), Qt::AlignHCenter, QStringLiteral("下一帧"));

    // Colour: header, then U, Y, V per pixel.
    y = 172;
    p.setFont(bold);
    p.setPen(kInk);
    p.drawText(QPoint(12, y - 12), QStringLiteral("彩色（彩色数据）：每个像素 3 个字节 U、Y、V"));
    p.setFont(font);
    x = 12;
    Box(p, x, y, kBox + 10, kHeader, QStringLiteral("帧头\nFF"));
    x += kBox + 10 + kGap;
    for (int pixel = 1; pixel <= 2; ++pixel) {
        const int start = x;
        const QColor fills[] = {kU, kY, kV};
        const char* names[] = {"U", "Y", "V"};
        for (int i = 0; i < 3; ++i) {
            Box(p, x, y, kBox - 8, fills[i], QString::fromLatin1(names[i]));
            x += kBox - 8;
        }
        Brace(p, start, x, y + kBox + 4, QStringLiteral("像素 (1,%1)").arg(pixel));
        x += kGap;
    }
    Dots(p, x, y);
    x += kBox / 2 + kGap;
    const int lastPixel = x;
    for (const char* name : {"U", "Y", "V"}) {
        Box(p, x, y, kBox - 8,
            name[0] == 'U'   ? kU
            : name[0] == 'Y' ? kY
                             : kV,
            QString::fromLatin1(name));
        x += kBox - 8;
    }
    Brace(p, lastPixel, x, y + kBox + 4, QStringLiteral("像素 (m,n)"));

    // The frame sizes.
    p.setPen(kInk);
    p.drawText(QRect(12, 264, 736, 26), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("一帧的字节数：灰度 1 + 行数 × 列数；彩色 1 + 行数 × 列数 × 3。"
                              "没有长度字段和校验和，8N1，只由摄像头板发往电脑。"));
    p.end();

    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
