#include "capture/FrameFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "capture/PixelFormat.h"
#include "capture/PngEncoder.h"
#include "settings/Translation.h"

namespace framefile {

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string Failed(const std::string& path, const std::string& reason) {
    return tx::Format(tx::Tr("FrameFiles", "无法保存文件 %1：%2"), path, reason);
}

std::vector<uint8_t> Pnm(const char* magic, const CFrameCopy& frame,
                         const std::vector<uint8_t>& pixels) {
    const std::string head = std::string(magic) + "\n" + std::to_string(frame.columns) + " " +
                             std::to_string(frame.rows) + "\n255\n";
    std::vector<uint8_t> out(head.begin(), head.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

}  // namespace

Kind KindOf(const std::string& path) {
    const std::string name = std::filesystem::u8path(path).filename().u8string();
    const size_t dot = name.rfind('.');
    const std::string suffix = dot == std::string::npos ? "" : Lower(name.substr(dot + 1));
    if (suffix == "pgm")
        return Kind::Pgm;
    if (suffix == "ppm")
        return Kind::Ppm;
    if (suffix == "png")
        return Kind::Png;
    if (suffix == "raw" || suffix == "uyv")
        return Kind::Raw;
    if (suffix == "jpg" || suffix == "jpeg")
        return Kind::Jpeg;
    return Kind::Unknown;
}

std::vector<uint8_t> Picture(const CFrameCopy& frame, int& channels) {
    const bool colour = frame.format == pixel::kUyv;
    channels = colour ? 3 : 1;
    if (!frame.Whole())
        return {};
    const uint32_t w = frame.columns, h = frame.rows;
    std::vector<uint8_t> out(uint64_t{w} * h * uint64_t(channels));
    uint8_t* p = out.data();
    if (!colour && frame.Encoding() == stream::Encoding::Gray8) {
        std::copy(frame.bytes.begin(), frame.bytes.begin() + out.size(), p);
        return out;
    }
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
            if (!colour) {
                *p++ = frame.PixelLuma(y, x);
                continue;
            }
            const uint32_t rgb = frame.PixelRgb(y, x);
            *p++ = uint8_t(rgb >> 16);
            *p++ = uint8_t(rgb >> 8);
            *p++ = uint8_t(rgb);
        }
    return out;
}

bool Encode(Kind kind, const CFrameCopy& frame, std::vector<uint8_t>& bytes, std::string& reason) {
    const bool jpeg = stream::Info(frame.Encoding()).compressed;
    if (kind == Kind::Raw || (kind == Kind::Jpeg && jpeg)) {
        bytes = frame.bytes;
        return true;
    }
    if (kind == Kind::Jpeg) {
        reason = tx::Tr("FrameFiles",
                        "只有 JPEG 数据流的帧能存为 .jpg，这一帧请存为 PNG、PPM/PGM 或原始数据");
        return false;
    }
    if (kind == Kind::Unknown) {
        reason = tx::Tr("FrameFiles", "不认识的文件类型（可以用 .png、.pgm、.ppm、.jpg、.raw）");
        return false;
    }
    if (kind == Kind::Pgm && frame.format != pixel::kGray) {
        reason = tx::Tr("FrameFiles", "彩色帧请保存为 PPM、PNG 或原始数据");
        return false;
    }
    int channels = 1;
    const std::vector<uint8_t> pixels = Picture(frame, channels);
    if (pixels.empty()) {
        reason = tx::Tr("FrameFiles", "这一帧的数据不完整");
        return false;
    }
    if (kind == Kind::Png)
        bytes = EncodePng(pixels.data(), frame.columns, frame.rows, channels);
    else
        bytes = Pnm(channels == 1 ? "P5" : "P6", frame, pixels);
    if (bytes.empty()) {
        reason = tx::Tr("FrameFiles", "图像太大");
        return false;
    }
    return true;
}

bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path target = fs::u8path(path);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, ec)) {
        error =
            Failed(path, tx::Format(tx::Tr("FrameFiles", "文件夹 %1 不存在"), folder.u8string()));
        return false;
    }
    // A name of its own beside the target, so that the rename stays on one
    // file system and never replaces half a file.
    std::random_device device;
    const fs::path temp = folder / fs::u8path("." + target.filename().u8string() + "." +
                                              std::to_string(device()) + ".part");
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = Failed(path, std::strerror(errno));
            return false;
        }
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        const bool whole = !out.fail() && fs::file_size(temp, ec) == bytes.size() && !ec;
        if (!whole) {
            error = Failed(path, tx::Tr("FrameFiles", "只写入了部分数据（磁盘已满？）"));
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, target, ec);
    if (ec) {
        error = Failed(path, ec.message());
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

bool Save(const std::string& path, const CFrameCopy& frame, std::string& error) {
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!Encode(KindOf(path), frame, bytes, reason)) {
        error = Failed(path, reason);
        return false;
    }
    return WriteWhole(path, bytes, error);
}

std::string ListingText(const CFrameCopy& frame, int threshold) {
    uint32_t rows = 0, columns = 0;
    const std::vector<uint8_t> values = frame.ShownValues(rows, columns);
    std::string text;
    text.reserve(uint64_t{rows} * (columns + 1));
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < columns; ++c)
            text.push_back(values[uint64_t{r} * columns + c] > threshold ? '1' : '0');
        text.push_back('\n');
    }
    return text;
}

}  // namespace framefile
