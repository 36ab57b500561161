#include "pages/FrameImage.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <algorithm>

#include "capture/PixelFormat.h"

namespace frameimage {

namespace {

QString Failed(const QString& path, const QString& reason) {
    return QStringLiteral("无法保存文件 %1：%2").arg(path, reason);
}

}  // namespace

QImage ToImage(const CFrameCopy& frame) {
    const uint64_t pixels = uint64_t{frame.rows} * frame.columns;
    const bool colour = frame.format == pixel::kUyv;
    if (pixels == 0 || frame.bytes.size() < pixels * (colour ? 3 : 1))
        return QImage();
    const int w = static_cast<int>(frame.columns), h = static_cast<int>(frame.rows);
    QImage image(w, h, colour ? QImage::Format_RGB32 : QImage::Format_Grayscale8);
    if (image.isNull())
        return image;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = frame.bytes.data() + uint64_t(y) * w * (colour ? 3 : 1);
        if (!colour) {
            std::copy(row, row + w, image.scanLine(y));
            continue;
        }
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x, row += 3)
            out[x] = 0xFF000000u | pixel::UyvToRgb(row[0], row[1], row[2]);
    }
    return image;
}

bool WriteWhole(const QString& path, const QByteArray& data, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = Failed(path, file.errorString());
        return false;
    }
    // A full disk or a size limit may take part of a write without an error:
    // the bytes on disk are counted before the file gets its name.
    const bool whole =
        file.write(data) == data.size() && file.flush() && file.size() == data.size();
    if (!whole) {
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("只写入了 %1 字节中的 %2 字节（磁盘已满？）")
                                         .arg(data.size())
                                         .arg(file.size());
        file.cancelWriting();
        error = Failed(path, reason);
        return false;
    }
    if (!file.commit()) {
        error = Failed(path, file.errorString());
        return false;
    }
    return true;
}

bool Save(const QString& path, const CFrameCopy& frame, QString& error) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("uyv") || suffix == QLatin1String("raw"))
        return WriteWhole(path,
                          QByteArray(reinterpret_cast<const char*>(frame.bytes.data()),
                                     static_cast<qsizetype>(frame.bytes.size())),
                          error);
    const char* format = suffix == QLatin1String("pgm")   ? "pgm"
                         : suffix == QLatin1String("ppm") ? "ppm"
                                                          : "png";
    if (qstrcmp(format, "pgm") == 0 && frame.format != pixel::kGray) {
        error = Failed(path, QStringLiteral("彩色帧请保存为 PPM 或原始 UYV 数据"));
        return false;
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(ToImage(frame))) {
        error = Failed(path, writer.errorString());
        return false;
    }
    return WriteWhole(path, data, error);
}

bool Load(const QString& path, uint8_t format, CFrameCopy& frame, QString& error) {
    QImageReader reader(path);
    const QImage image = reader.read();
    if (image.isNull()) {
        error = QStringLiteral("无法读取图片 %1：%2").arg(path, reader.errorString());
        return false;
    }
    if (image.width() > 9999 || image.height() > 9999) {
        error = QStringLiteral("图片 %1 太大：%2 × %3，行数和列数都不能大于9999")
                    .arg(path)
                    .arg(image.height())
                    .arg(image.width());
        return false;
    }
    frame = CFrameCopy();
    frame.rows = static_cast<uint32_t>(image.height());
    frame.columns = static_cast<uint32_t>(image.width());
    frame.format = format;
    if (format == pixel::kGray) {
        const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
        frame.bytes.reserve(uint64_t{frame.rows} * frame.columns);
        for (int y = 0; y < gray.height(); ++y)
            frame.bytes.insert(frame.bytes.end(), gray.constScanLine(y),
                               gray.constScanLine(y) + gray.width());
        return true;
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    frame.bytes.reserve(uint64_t{frame.rows} * frame.columns * 3);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            uint8_t u, y, v;
            pixel::RgbToUyv(static_cast<uint8_t>(qRed(row[x])),
                            static_cast<uint8_t>(qGreen(row[x])),
                            static_cast<uint8_t>(qBlue(row[x])), u, y, v);
            frame.bytes.insert(frame.bytes.end(), {u, y, v});
        }
    }
    return true;
}

QString ProposedName(const QString& what, const QDateTime& when, uint32_t rows, uint32_t columns,
                     const QString& suffix) {
    return QStringLiteral("%1-%2-%3x%4.%5")
        .arg(what, when.toString(QStringLiteral("yyyyMMdd-HHmmss")))
        .arg(rows)
        .arg(columns)
        .arg(suffix);
}

}  // namespace frameimage
