#include "pages/FrameImage.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <algorithm>

#include "capture/FrameFiles.h"
#include "capture/PixelFormat.h"

namespace frameimage {

namespace {

QString Failed(const QString& path, const QString& reason) {
    return QCoreApplication::translate("FrameImage", "无法保存文件 %1：%2").arg(path, reason);
}

}  // namespace

QImage ToImage(const CFrameCopy& frame) {
    if (!frame.Whole())
        return QImage();
    // The grayscale page draws brightness, the colour page colour.
    const bool colour = frame.format == pixel::kUyv;
    const int w = static_cast<int>(frame.columns), h = static_cast<int>(frame.rows);
    QImage image(w, h, colour ? QImage::Format_RGB32 : QImage::Format_Grayscale8);
    if (image.isNull())
        return image;
    const stream::Encoding encoding = frame.Encoding();
    for (int y = 0; y < h; ++y) {
        const auto r = static_cast<uint32_t>(y);
        if (!colour && encoding == stream::Encoding::Gray8) {
            const uint8_t* row = frame.bytes.data() + uint64_t(y) * w;
            std::copy(row, row + w, image.scanLine(y));
            continue;
        }
        if (!colour) {
            uchar* out = image.scanLine(y);
            for (int x = 0; x < w; ++x)
                out[x] = frame.PixelLuma(r, static_cast<uint32_t>(x));
            continue;
        }
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            out[x] = 0xFF000000u | frame.PixelRgb(r, static_cast<uint32_t>(x));
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
                                   : QCoreApplication::translate(
                                         "FrameImage", "只写入了 %1 字节中的 %2 字节（磁盘已满？）")
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
    const framefile::Kind kind = framefile::KindOf(path.toStdString());
    const bool jpeg = stream::Info(frame.Encoding()).compressed;
    // A picture compressed as JPEG is Qt's; every other file is written as
    // tavix-capture writes it, so that both give the same bytes.
    if (kind != framefile::Kind::Jpeg || jpeg) {
        std::vector<uint8_t> bytes;
        std::string reason;
        // A name without a known suffix is saved as PNG.
        if (!framefile::Encode(kind == framefile::Kind::Unknown ? framefile::Kind::Png : kind,
                               frame, bytes, reason)) {
            error = Failed(path, QString::fromStdString(reason));
            return false;
        }
        return WriteWhole(path,
                          QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                     static_cast<qsizetype>(bytes.size())),
                          error);
    }
    const QImage image = ToImage(frame);
    if (image.isNull()) {
        error = Failed(path, QCoreApplication::translate("FrameImage", "这一帧的数据不完整"));
        return false;
    }
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    if (!writer.write(image)) {
        error = Failed(path, writer.errorString());
        return false;
    }
    return WriteWhole(path, data, error);
}

QString RawSuffix(const CFrameCopy& frame) {
    switch (frame.Encoding()) {
        case stream::Encoding::Uyv:
            return QStringLiteral("uyv");
        case stream::Encoding::Jpeg:
        case stream::Encoding::JpegGray:
            return QStringLiteral("jpg");
        default:
            return QStringLiteral("raw");
    }
}

bool Load(const QString& path, uint8_t format, CFrameCopy& frame, QString& error,
          stream::Encoding encoding) {
    QFile file(path);
    QByteArray contents;
    if (file.open(QIODevice::ReadOnly))
        contents = file.readAll();
    QBuffer buffer(&contents);
    QImageReader reader(&buffer);
    const QImage image = file.isOpen() ? reader.read() : QImage();
    if (image.isNull()) {
        error = QCoreApplication::translate("FrameImage", "无法读取图片 %1：%2")
                    .arg(path, file.isOpen() ? reader.errorString() : file.errorString());
        return false;
    }
    if (image.width() > 9999 || image.height() > 9999) {
        error = QCoreApplication::translate("FrameImage",
                                            "图片 %1 太大：%2 × %3，行数和列数都不能大于9999")
                    .arg(path)
                    .arg(image.height())
                    .arg(image.width());
        return false;
    }
    frame = CFrameCopy();
    frame.rows = static_cast<uint32_t>(image.height());
    frame.columns = static_cast<uint32_t>(image.width());
    frame.format = format;
    const bool colour = format == pixel::kUyv;
    if (encoding == stream::Encoding::Page)
        encoding = colour ? stream::Encoding::Uyv : stream::Encoding::Gray8;
    const bool jpegFile = contents.startsWith(QByteArrayLiteral("\xFF\xD8"));
    if (stream::Info(encoding).compressed && !jpegFile)
        // Not a JPEG file: its pixels in the page's own encoding.
        encoding = colour ? stream::Encoding::Uyv : stream::Encoding::Gray8;
    frame.encoding = encoding;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (stream::Info(encoding).compressed) {
        // The file as received, its pixels as decoded.
        frame.bytes.assign(contents.begin(), contents.end());
        const bool gray = encoding == stream::Encoding::JpegGray;
        frame.decoded.reserve(uint64_t{frame.rows} * frame.columns * (gray ? 1 : 3));
        const QImage grayImage = image.convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < rgb.height(); ++y) {
            if (gray) {
                frame.decoded.insert(frame.decoded.end(), grayImage.constScanLine(y),
                                     grayImage.constScanLine(y) + grayImage.width());
                continue;
            }
            const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x)
                frame.decoded.insert(frame.decoded.end(), {static_cast<uint8_t>(qRed(row[x])),
                                                           static_cast<uint8_t>(qGreen(row[x])),
                                                           static_cast<uint8_t>(qBlue(row[x]))});
        }
        return true;
    }
    if (encoding == stream::Encoding::Gray8) {
        const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
        frame.bytes.reserve(uint64_t{frame.rows} * frame.columns);
        for (int y = 0; y < gray.height(); ++y)
            frame.bytes.insert(frame.bytes.end(), gray.constScanLine(y),
                               gray.constScanLine(y) + gray.width());
        return true;
    }
    if (encoding == stream::Encoding::Uyv) {
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
    // Any other encoding, pixel by pixel as a board would have sent it.
    const uint64_t rowBytes = stream::RowBytes(encoding, frame.columns);
    frame.bytes.assign(rowBytes * frame.rows, 0);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uint8_t* out = frame.bytes.data() + rowBytes * static_cast<uint64_t>(y);
        for (int x = 0; x < rgb.width(); ++x)
            stream::PutPixel(encoding, out, static_cast<uint32_t>(x), row[x] & 0xFFFFFFu);
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
