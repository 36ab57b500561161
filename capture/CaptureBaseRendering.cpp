#include "capture/CaptureBase.h"

#include <algorithm>

#include "capture/PixelFormat.h"

// Drawing passes: each runs on a thread of its own, draws the complete rows
// it was given into the picture surface and feeds the page's value listing.

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

void CCaptureBase::EndPass() {
    bool more;
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_bDrawing = 0;
        more = m_bFrameDone || m_bStopped || PassDueLocked();
    }
    // The next frame may wait in the receive buffer, or rows came in while
    // this pass drew: the worker looks at once instead of at its next data
    // or time-out. Otherwise it sleeps on.
    if (more)
        m_wake.Signal();
}

void CCaptureBase::CountFrameDrawn() {
    const int64_t complete = m_nFrameCompleteNs.load();
    const int64_t now =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
            .count();
    const uint64_t latency =
        complete > 0 && now > complete ? static_cast<uint64_t>(now - complete) / 1000 : 0;
    m_link.FrameDrawn(latency);
    // The frame drawn is kept as it came; reception does not touch m_pFrame
    // until this pass has ended the frame.
    {
        std::lock_guard<std::mutex> lock(m_frameLock);
        m_lastFrame.rows = m_nFrameRows;
        m_lastFrame.columns = m_nFrameColumns;
        m_lastFrame.format = m_byFormat;
        m_lastFrame.encoding = m_frameEncoding;
        m_lastFrame.rowGap = m_nRowGap;
        m_lastFrame.columnGap = m_nColumnGap;
        m_lastFrame.number = ++m_nFramesDrawn;
        m_lastFrame.latencyMicroseconds = latency;
        m_lastFrame.bytes.assign(m_pFrame.get(), m_pFrame.get() + m_nFrameSize);
        // The decoded pixels move over (the pass is done with them); the
        // next frame decodes into the buffer they replace.
        if (stream::Info(m_frameEncoding).compressed)
            m_lastFrame.decoded.swap(m_decoded);
        else
            m_lastFrame.decoded.clear();
    }
    // Only drawing passes change it, one at a time: read here without the lock.
    if (m_onFrameDrawn)
        m_onFrameDrawn(m_lastFrame);
}

bool CCaptureBase::LastFrame(CFrameCopy& frame) const {
    std::lock_guard<std::mutex> lock(m_frameLock);
    if (m_lastFrame.Empty())
        return false;
    frame = m_lastFrame;
    return true;
}

unsigned CCaptureBase::DrawSingleProc(void* param) {
    auto* e = static_cast<CCaptureBase*>(param);
    if (e->m_bShowImage) {
        if (e->m_bShowValues)
            e->DrawGrayWithValues(e->m_nRowGap, e->m_nColumnGap);
        else
            e->DrawImage(e->m_nRowGap, e->m_nColumnGap);
    } else if (e->m_bShowValues) {
        e->ListValues(e->m_nRowGap, e->m_nColumnGap);
    }
    return 0;
}

unsigned CCaptureBase::DrawContinuousProc(void* param) {
    auto* e = static_cast<CCaptureBase*>(param);
    e->DrawRolling(e->m_nRowGap, e->m_nColumnGap);
    return 0;
}

void CCaptureBase::OnFrameDone() {
    std::lock_guard<std::mutex> lock(m_stateLock);
    ClearFrameLocked();
    m_bFrameDone = 1;
}

uint32_t CCaptureBase::BeginPass(bool rolling) {
    std::lock_guard<std::mutex> lock(m_stateLock);
    m_bDrawing = 1;
    if (rolling)
        m_bFrameDone = 0;
    const uint32_t received = m_nReceived;
    m_nDrawn = received;
    return received;
}

CCaptureBase::PassGeometry CCaptureBase::Geometry(uint32_t received, uint32_t rowGap,
                                                  uint32_t columnGap, bool listingOnly) const {
    PassGeometry g{};
    static_cast<pixel::Geometry&>(g) =
        pixel::PassGeometry(m_nFrameRows, m_nFrameColumns, rowGap, columnGap, m_bScaleToArea != 0,
                            m_nAreaWidth, m_nAreaHeight);
    g.availableRows = RowsReceived(received, listingOnly);
    return g;
}

bool CCaptureBase::PreparePass() {
    const stream::Encoding encoding = m_frameEncoding;
    if (stream::Info(encoding).compressed) {
        m_passEncoding = encoding == stream::Encoding::JpegGray ? stream::Encoding::Gray8
                                                                : stream::Encoding::Rgb888;
        // A compressed frame is decoded by its first pass.
        if (m_nNextRow == 0 && !DecodeFrame())
            return false;
        m_passPixels = m_decoded.data();
    } else {
        m_passEncoding = encoding;
        m_passPixels = m_pFrame.get();
    }
    m_passRowBytes = stream::RowBytes(m_passEncoding, m_nFrameColumns);
    return true;
}

bool CCaptureBase::DecodeFrame() {
    uint32_t width = 0, height = 0;
    std::string message;
    const auto result =
        m_jpeg.Decode(m_pFrame.get(), m_nFrameSize, m_frameEncoding == stream::Encoding::JpegGray,
                      m_decoded, width, height, &message);
    if (result == stream::CJpegDecoder::Result::Failed || width == 0 || height == 0)
        return false;
    // Drawn, but damaged; counted once with what the framing saw.
    if (result == stream::CJpegDecoder::Result::Warning && !m_bFrameDamaged)
        m_link.Suspect();
    {
        std::lock_guard<std::mutex> lock(m_stateLock);
        m_nFrameRows = height;
        m_nFrameColumns = width;
    }
    m_nWireGeometry = (uint64_t{height} << 32) | width;
    return true;
}

void CCaptureBase::DropUndecodable() {
    // Counted suspect (once with what the framing saw) and not drawn;
    // reception takes the next frame.
    if (!m_bFrameDamaged)
        m_link.Suspect();
    std::lock_guard<std::mutex> lock(m_stateLock);
    ClearFrameLocked();
    if (m_nMode == 1)
        m_bFrameDone = 1;
}

uint8_t CCaptureBase::ListedValue(uint64_t row, uint64_t column) const {
    // The design's formats list the frame's bytes as they are.
    if (m_frameEncoding == stream::Encoding::Gray8 || m_frameEncoding == stream::Encoding::Uyv)
        return m_pFrame[row * m_nFrameColumns + column];
    return stream::ListingValue(m_passEncoding, m_passPixels + row * m_passRowBytes,
                                static_cast<uint32_t>(column));
}

int CCaptureBase::PlotPixel(uint32_t row, uint32_t column, uint8_t block, uint64_t displayRow,
                            uint64_t displayColumn, CPictureSurface::DC& dc) {
    const stream::Encoding encoding = m_passEncoding;
    const uint8_t* line = m_passPixels + uint64_t{row} * m_passRowBytes;
    uint32_t rgb;
    if (m_byFormat == pixel::kGray) {
        // The grayscale page shows brightness.
        uint8_t v = encoding == stream::Encoding::Gray8 ? line[column]
                                                        : stream::PixelLuma(encoding, line, column);
        const int threshold = m_nPreviewThreshold.load(std::memory_order_relaxed);
        if (threshold >= 0)
            v = v > threshold ? 255 : 0;
        rgb = pixel::GrayToRgb(v);
    } else if (m_byFormat == pixel::kUyv) {
        const int channel = m_nChannel.load(std::memory_order_relaxed);
        if (encoding == stream::Encoding::Uyv) {
            const uint8_t* p = line + uint64_t{column} * 3;
            rgb = channel >= 0 && channel <= 2 ? pixel::GrayToRgb(p[channel])
                                               : pixel::UyvToRgb(p[0], p[1], p[2]);
        } else {
            rgb = channel >= 0 && channel <= 2
                      ? pixel::GrayToRgb(stream::PixelChannel(encoding, line, column, channel))
                      : stream::PixelRgb(encoding, line, column);
        }
    } else {
        return 1;
    }
    const int64_t x = static_cast<int64_t>(std::min<uint64_t>(displayColumn * block, INT64_MAX));
    const int64_t y = static_cast<int64_t>(std::min<uint64_t>(displayRow * block, INT64_MAX));
    dc.FillBlock(x, y, block, rgb);
    return 1;
}

void CCaptureBase::PlotRow(uint32_t row, uint64_t columnStep, uint8_t block, uint64_t displayRow,
                           CPictureSurface::DC& dc) {
    if (columnStep == 0 || m_nFrameColumns == 0)
        return;
    const uint32_t count = static_cast<uint32_t>((m_nFrameColumns - 1) / columnStep + 1);
    const uint32_t step = static_cast<uint32_t>(std::min<uint64_t>(columnStep, UINT32_MAX));
    const stream::Encoding encoding = m_passEncoding;
    const uint8_t* line = m_passPixels + uint64_t{row} * m_passRowBytes;
    m_rowRgb.resize(count);
    if (m_byFormat == pixel::kGray) {
        m_rowLuma.resize(count);
        stream::RowLuma(encoding, line, 0, step, count, m_rowLuma.data());
        const int threshold = m_nPreviewThreshold.load(std::memory_order_relaxed);
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t v = m_rowLuma[i];
            if (threshold >= 0)
                v = v > threshold ? 255 : 0;
            m_rowRgb[i] = pixel::GrayToRgb(v);
        }
    } else if (m_byFormat == pixel::kUyv) {
        const int channel = m_nChannel.load(std::memory_order_relaxed);
        if (channel >= 0 && channel <= 2) {
            for (uint32_t i = 0, column = 0; i < count; ++i, column += step)
                m_rowRgb[i] = pixel::GrayToRgb(
                    encoding == stream::Encoding::Uyv
                        ? line[uint64_t{column} * 3 + static_cast<uint32_t>(channel)]
                        : stream::PixelChannel(encoding, line, column, channel));
        } else {
            stream::RowRgb(encoding, line, 0, step, count, m_rowRgb.data());
        }
    } else {
        return;
    }
    const int64_t y = static_cast<int64_t>(std::min<uint64_t>(displayRow * block, INT64_MAX));
    dc.FillRow(y, block, m_rowRgb.data(), count);
}

int CCaptureBase::DrawImage(uint32_t rowGap, uint32_t columnGap) {
    return SinglePass(Pass::Image, rowGap, columnGap);
}

int CCaptureBase::DrawGrayWithValues(uint32_t rowGap, uint32_t columnGap) {
    return SinglePass(Pass::GrayWithValues, rowGap, columnGap);
}

int CCaptureBase::ListValues(uint32_t rowGap, uint32_t columnGap) {
    return SinglePass(Pass::Values, rowGap, columnGap);
}

int CCaptureBase::SinglePass(Pass kind, uint32_t rowGap, uint32_t columnGap) {
    const uint32_t received = BeginPass(false);
    // The picture with the listing is for grayscale frames only.
    if ((kind == Pass::GrayWithValues && m_byFormat != 0) || !m_pFrame || received == 0) {
        EndPass();
        return 0;
    }
    const bool image = kind != Pass::Values;
    const bool values = kind != Pass::Image;
    if (!PreparePass()) {
        DropUndecodable();
        EndPass();
        return 0;
    }
    if (values)
        ClearValueList();
    const PassGeometry g = Geometry(received, rowGap, columnGap, kind == Pass::Values);
    CPictureSurface::DC dc(m_wndPicture);
    // Every pass starts at row 0 and draws the complete rows it was given.
    uint64_t displayRow = 0;
    for (uint64_t row = 0; row < g.availableRows; row += g.rowStep, ++displayRow) {
        uint64_t displayColumn = 0;
        for (uint64_t column = 0; column < m_nFrameColumns;
             column += g.columnStep, ++displayColumn) {
            if (m_bStopped) {
                // Aborted: what is drawn stays; neither the frame nor the
                // capture ends here.
                dc.Flush();
                EndPass();
                return 1;
            }
            if (image)
                PlotPixel(static_cast<uint32_t>(row), static_cast<uint32_t>(column), g.block,
                          displayRow, displayColumn, dc);
            if (values)
                AppendValue(ListedValue(row, column), 0);
        }
        dc.Flush();
        if (values)
            AppendValue(0, 1);
    }
    if (g.availableRows >= m_nFrameRows) {
        CountFrameDrawn();
        if (kind == Pass::Image) {
            OnFrameDone();
            StopWorker();
        } else {
            StopWorker();
            OnFrameDone();
        }
    }
    EndPass();
    return 1;
}

int CCaptureBase::DrawRolling(uint32_t rowGap, uint32_t columnGap) {
    const uint32_t received = BeginPass(true);
    if (!m_pFrame || received == 0) {
        EndPass();
        return 0;
    }
    if (!PreparePass()) {
        DropUndecodable();
        EndPass();
        return 0;
    }
    const PassGeometry g = Geometry(received, rowGap, columnGap, false);
    CPictureSurface::DC dc(m_wndPicture);
    uint64_t row = m_nNextRow;
    uint64_t displayRow = m_nNextDisplayRow;
    if (row == 0 && m_bWholeFramesOnly && m_bShowValues)
        ClearValueList();
    while (row < g.availableRows) {
        // A stop is seen before each row: a row is drawn in one go.
        if (m_bStopped) {
            dc.Flush();
            StopWorker();
            {
                std::lock_guard<std::mutex> lock(m_stateLock);
                m_bFrameDone = 1;
            }
            EndPass();
            return 1;
        }
        PlotRow(static_cast<uint32_t>(row), g.columnStep, g.block, displayRow, dc);
        if (m_bShowValues) {
            for (uint64_t column = 0; column < m_nFrameColumns; column += g.columnStep)
                AppendValue(ListedValue(row, column), 0);
        }
        dc.Flush();
        if (m_bShowValues)
            AppendValue(0, 1);
        row += g.rowStep;
        ++displayRow;
        m_nNextRow = static_cast<uint32_t>(std::min<uint64_t>(row, UINT32_MAX));
        m_nNextDisplayRow = static_cast<uint32_t>(std::min<uint64_t>(displayRow, UINT32_MAX));
    }
    if (g.availableRows >= m_nFrameRows) {
        CountFrameDrawn();
        OnFrameDone();
    }
    EndPass();
    return 1;
}
