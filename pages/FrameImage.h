// A received frame as a picture and as files: the picture as the screen
// converts it, the frame's bytes as PGM (grayscale), PPM (colour, converted
// as on screen), raw bytes or a JPEG frame's own file, and a picture file
// turned into a frame. Every encoding, through the frame's pixel functions.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

#include "capture/FrameCopy.h"

namespace frameimage {

// One image pixel per frame pixel: on the grayscale page the brightness, on
// the colour page the colour, converted exactly as the screen converts it.
// Null for an empty or incomplete frame.
QImage ToImage(const CFrameCopy& frame);

// Writes `frame` to `path` by its suffix: ".pgm" (P5, grayscale frames),
// ".ppm" (P6), ".png", ".uyv"/".raw" (the bytes exactly as received), or
// ".jpg" (a JPEG frame: its bytes exactly as received; another frame: the
// picture compressed). The file appears whole or not at all. False with a
// message naming the file and the reason.
bool Save(const QString& path, const CFrameCopy& frame, QString& error);
// The suffix of the file that keeps a frame's bytes as received: "uyv",
// "jpg" for a JPEG frame, else "raw".
QString RawSuffix(const CFrameCopy& frame);

// Writes `data` to `path` whole or not at all (a short write, as on a full
// disk, leaves nothing under the name). False with a message.
bool WriteWhole(const QString& path, const QByteArray& data, QString& error);

// A picture file as a frame of `format` (pixel::kGray or pixel::kUyv) in
// `encoding` (Page: the page's own, gray bytes or U, Y, V triplets): sizes
// from the file, pixels encoded as a board would send them. A JPEG encoding
// keeps a JPEG file's bytes as they are (with its decoded pixels); another
// file then becomes the page's own encoding. False with a message when the
// file cannot be read or is larger than 9999 x 9999.
bool Load(const QString& path, uint8_t format, CFrameCopy& frame, QString& error,
          stream::Encoding encoding = stream::Encoding::Page);

// "frame-20261207-163012-60x80.pgm": what, when, rows x columns, suffix.
QString ProposedName(const QString& what, const QDateTime& when, uint32_t rows, uint32_t columns,
                     const QString& suffix);

}  // namespace frameimage
