// Draws the toolbar images and the program icon:
//   tavix-barimages OUTDIR
// writes OUTDIR/serialbar.png (a strip of five 16 x 16 images: plug, empty
// frame, monitor, monitor crossed out in red, house), OUTDIR/help.png (24 x 24)
// and OUTDIR/app/tavixtool-N.png (the program icon at the sizes a desktop's
// icon theme uses; the window and the About box take theirs from these too).
// Run by hand when an image changes.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
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

// The program icon: a camera board seen from above. A green circuit board,
// the black camera module with its lens in the middle, and the row of header
// pins that carries the serial line at the bottom. Drawn on a 256-unit grid
// and scaled; below 32 pixels the pins and the lens's glint are left out, and
// edges are snapped to whole pixels so the small sizes stay sharp.
QImage ProgramIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double k = size / 256.0;
    const auto snap = [k](double v) { return std::round(v * k); };
    const auto box = [&](double x0, double y0, double x1, double y1) {
        return QRectF(snap(x0), snap(y0), snap(x1) - snap(x0), snap(y1) - snap(y0));
    };
    const bool small = size < 32;
    const double line = std::max(1.0, std::round(6 * k));

    // The board.
    QLinearGradient board(0, 0, 0, size);
    board.setColorAt(0, QColor(46, 150, 90));
    board.setColorAt(1, QColor(22, 100, 58));
    p.setPen(QPen(QColor(12, 60, 34), line));
    p.setBrush(board);
    const QRectF boardRect =
        box(16, 16, 240, 240).adjusted(line / 2, line / 2, -line / 2, -line / 2);
    p.drawRoundedRect(boardRect, 28 * k, 28 * k);

    // Two mounting holes and a few traces, where there is room for them.
    if (!small) {
        p.setPen(QPen(QColor(200, 220, 190, 150), std::max(1.0, 4 * k)));
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(52 * k, 200 * k), QPointF(52 * k, 60 * k));
        p.drawLine(QPointF(204 * k, 200 * k), QPointF(204 * k, 60 * k));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(230, 230, 220));
        p.drawEllipse(QPointF(44 * k, 44 * k), 11 * k, 11 * k);
        p.drawEllipse(QPointF(212 * k, 44 * k), 11 * k, 11 * k);
    }

    // The camera module.
    p.setPen(QPen(QColor(10, 10, 12), line));
    p.setBrush(QColor(36, 38, 44));
    p.drawRoundedRect(box(68, 40, 188, 160), 10 * k, 10 * k);

    // The lens: a grey barrel, a dark glass and, at larger sizes, a glint.
    const QPointF centre(128 * k, 100 * k);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 156, 166));
    p.drawEllipse(centre, 46 * k, 46 * k);
    QRadialGradient glass(centre, 34 * k, centre - QPointF(10 * k, 10 * k));
    glass.setColorAt(0, QColor(70, 130, 220));
    glass.setColorAt(1, QColor(16, 30, 70));
    p.setBrush(glass);
    p.drawEllipse(centre, 34 * k, 34 * k);
    if (!small) {
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawEllipse(centre - QPointF(12 * k, 12 * k), 8 * k, 8 * k);
    }

    // The header pins of the serial line.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawRect(box(72, 188, 184, 224));
    p.setBrush(QColor(230, 180, 50));
    const int pins = small ? 2 : 4;
    for (int i = 0; i < pins; ++i) {
        const double x = small ? 92 + i * 48 : 84 + i * 26;
        p.drawRect(box(x, 196, x + 14, 216));
    }
    return img;
}

// The sizes a desktop's icon theme looks for.
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

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
    for (const int size : kIconSizes)
        ok = ProgramIcon(size).save(dir + QStringLiteral("/app/tavixtool-%1.png").arg(size)) && ok;
    if (!ok) {
        std::fprintf(stderr, "tavix-barimages: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
