// Draws the toolbar images and the program icon:
//   tavix-barimages OUTDIR
// writes OUTDIR/serialbar.png (a strip of five 16 x 16 images: plug, empty
// frame, monitor, monitor crossed out in red, house), OUTDIR/help.png (24 x 24)
// and OUTDIR/tavix.png (32 x 32). Run by hand when an image changes.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

void Monitor(QPainter& p, int x) {
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(x + 1, 1, 13, 10);
    p.setBrush(QColor(40, 110, 200));
    p.drawRect(x + 3, 3, 9, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(x + 6, 12, 4, 2);
    p.drawRect(x + 3, 14, 10, 1);
}

QImage SerialBar() {
    QImage img(80, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    // 0: a plug.
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(230, 180, 40));
    p.drawRect(4, 5, 8, 6);
    p.drawLine(6, 1, 6, 5);
    p.drawLine(10, 1, 10, 5);
    p.drawLine(8, 11, 8, 15);
    // 1: an empty frame.
    p.setBrush(Qt::NoBrush);
    p.drawRect(17, 1, 13, 13);
    // 2: a monitor; 3: the same monitor crossed out in red.
    Monitor(p, 32);
    Monitor(p, 48);
    p.setPen(QPen(QColor(220, 0, 0), 2));
    p.drawLine(49, 1, 63, 15);
    p.drawLine(63, 1, 49, 15);
    // 4: a house.
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(200, 60, 40));
    QPainterPath roof;
    roof.moveTo(65, 8);
    roof.lineTo(72, 1);
    roof.lineTo(79, 8);
    roof.closeSubpath();
    p.drawPath(roof);
    p.setBrush(QColor(240, 230, 200));
    p.drawRect(67, 8, 10, 7);
    p.setBrush(QColor(120, 80, 40));
    p.drawRect(71, 11, 3, 4);
    return img;
}

QImage HelpButton() {
    QImage img(24, 24, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(20, 60, 140));
    p.setBrush(QColor(50, 120, 220));
    p.drawEllipse(QRectF(2, 2, 20, 20));
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(16);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(2, 2, 20, 20), Qt::AlignCenter, QStringLiteral("?"));
    return img;
}

QImage ProgramIcon() {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // A camera body with its lens.
    p.setPen(QColor(30, 30, 30));
    p.setBrush(QColor(60, 70, 90));
    p.drawRoundedRect(QRectF(2, 8, 28, 20), 4, 4);
    p.drawRect(QRectF(8, 4, 10, 5));
    p.setBrush(QColor(200, 200, 210));
    p.drawEllipse(QRectF(9, 11, 14, 14));
    p.setBrush(QColor(40, 110, 200));
    p.drawEllipse(QRectF(12, 14, 8, 8));
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tavix-barimages OUTDIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = SerialBar().save(dir + QStringLiteral("/serialbar.png"));
    ok = HelpButton().save(dir + QStringLiteral("/help.png")) && ok;
    ok = ProgramIcon().save(dir + QStringLiteral("/tavix.png")) && ok;
    if (!ok) {
        std::fprintf(stderr, "tavix-barimages: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
