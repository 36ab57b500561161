// The picture area's pixels: an RGB buffer that drawing passes fill block by
// block and that the page shows and repaints from.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class CPictureSurface {
public:
    // A changed rectangle: x in [left, right), y in [top, bottom).
    struct Rect {
        int left = 0, top = 0, right = 0, bottom = 0;
        bool Empty() const { return right <= left || bottom <= top; }
    };
    // Told what changed, on the drawing thread, with no lock held.
    using Listener = std::function<void(const Rect&)>;

    // Drawing handle of one pass. Blocks of one screen row band are gathered
    // in a line of its own and copied into the surface under one lock when the
    // band changes or at Flush, so drawing takes the lock once per drawn row,
    // never per pixel; the viewer hears of each change at Flush.
    class DC {
    public:
        explicit DC(CPictureSurface& surface);
        ~DC() { Flush(); }
        DC(const DC&) = delete;
        DC& operator=(const DC&) = delete;
        // Fills the size x size square at (x, y), clipped to the surface.
        void FillBlock(int64_t x, int64_t y, int size, uint32_t rgb);
        // FillBlock of rgb[i] at (i × size, y) for i < count: a row of blocks.
        void FillRow(int64_t y, int size, const uint32_t* rgb, size_t count);
        // Copies what is pending into the surface and tells the viewer.
        void Flush();

    private:
        void Commit();

        CPictureSurface& m_surface;
        std::vector<uint32_t> m_line;  // the pending band's pixels, one screen line
        int64_t m_lineTop = -1;        // the pending band: rows [top, top + size)
        int m_lineSize = 0;
        int64_t m_left = 0, m_right = 0;  // its filled columns [left, right)
        Rect m_dirty;
    };

    // Sets the size; the contents become the fill colour (0x000000 until filled).
    void Resize(int width, int height);
    // Fills the whole surface with 0xRRGGBB and tells the listener.
    void Fill(uint32_t rgb);
    void SetListener(Listener listener);

    int Width() const;
    int Height() const;
    // 0xRRGGBB of one pixel; 0 outside the surface.
    uint32_t PixelAt(int x, int y) const;
    // Calls f(pixels, width, height) under the lock; pixels are 0xFFRRGGBB
    // words, row by row. For painting without a copy.
    void Read(const std::function<void(const uint32_t*, int, int)>& f) const;

private:
    void Notify(const Rect& rect);

    mutable std::mutex m_lock;
    int m_width = 0;
    int m_height = 0;
    std::vector<uint32_t> m_pixels;
    Listener m_listener;
};
