// A received frame as a picture and as files: the picture as the screen
// converts it, the frame's bytes as PGM (grayscale), PPM (colour, converted
// as on screen) or raw U, Y, V bytes, and a picture file turned into a frame.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

#include "capture/FrameCopy.h"

namespace frameimage {

// One image pixel per frame pixel: grayscale bytes as they are, colour
// converted exactly as the screen converts it. Null for an empty frame.
QImage ToImage(const CFrameCopy& frame);

// Writes `frame` to `path` by its suffix: ".pgm" (P5, grayscale frames),
// ".ppm" (P6), ".png", or ".uyv"/".raw" (the bytes exactly as received). The
// file appears whole or not at all. False with a message naming the file
// and the reason.
bool Save(const QString& path, const CFrameCopy& frame, QString& error);

// Writes `data` to `path` whole or not at all (a short write, as on a full
// disk, leaves nothing under the name). False with a message.
bool WriteWhole(const QString& path, const QByteArray& data, QString& error);

// A picture file as a frame of `format` (pixel::kGray or pixel::kUyv): sizes
// from the file; colour pixels become U, Y, V triplets. False with a message
// when the file cannot be read or is larger than 9999 x 9999.
bool Load(const QString& path, uint8_t format, CFrameCopy& frame, QString& error);

// "frame-20261207-163012-60x80.pgm": what, when, rows x columns, suffix.
QString ProposedName(const QString& what, const QDateTime& when, uint32_t rows, uint32_t columns,
                     const QString& suffix);

}  // namespace frameimage
