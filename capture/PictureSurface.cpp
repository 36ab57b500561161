#include "capture/PictureSurface.h"

#include <algorithm>

CPictureSurface::DC::DC(CPictureSurface& surface) : m_surface(surface) {
    m_line.resize(static_cast<size_t>(surface.Width()));
}

void CPictureSurface::DC::FillBlock(int64_t x, int64_t y, int size, uint32_t rgb) {
    if (size <= 0)
        return;
    const int64_t width = static_cast<int64_t>(m_line.size());
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t right = std::min<int64_t>(x + size, width);
    if (right <= left || y + size <= 0)
        return;
    if (y != m_lineTop || size != m_lineSize) {
        Commit();
        m_lineTop = y;
        m_lineSize = size;
    }
    std::fill(m_line.begin() + left, m_line.begin() + right, 0xFF000000u | (rgb & 0xFFFFFFu));
    if (m_right <= m_left) {
        m_left = left;
        m_right = right;
    } else {
        m_left = std::min(m_left, left);
        m_right = std::max(m_right, right);
    }
}

void CPictureSurface::DC::FillRow(int64_t y, int size, const uint32_t* rgb, size_t count) {
    const int64_t width = static_cast<int64_t>(m_line.size());
    if (size <= 0 || count == 0 || y + size <= 0)
        return;
    const int64_t right = std::min<int64_t>(static_cast<int64_t>(count) * size, width);
    if (right <= 0)
        return;
    if (y != m_lineTop || size != m_lineSize) {
        Commit();
        m_lineTop = y;
        m_lineSize = size;
    }
    uint32_t* line = m_line.data();
    if (size == 1) {
        for (int64_t x = 0; x < right; ++x)
            line[x] = 0xFF000000u | (rgb[x] & 0xFFFFFFu);
    } else {
        for (int64_t x = 0, i = 0; x < right; x += size, ++i)
            std::fill(line + x, line + std::min<int64_t>(x + size, right),
                      0xFF000000u | (rgb[i] & 0xFFFFFFu));
    }
    m_right = m_right > m_left ? std::max(m_right, right) : right;
    m_left = 0;
}

void CPictureSurface::DC::Commit() {
    if (m_right <= m_left)
        return;
    Rect r;
    {
        std::lock_guard<std::mutex> lock(m_surface.m_lock);
        const int64_t top = std::max<int64_t>(m_lineTop, 0);
        const int64_t bottom = std::min<int64_t>(m_lineTop + m_lineSize, m_surface.m_height);
        const int64_t right = std::min<int64_t>(m_right, m_surface.m_width);
        for (int64_t row = top; row < bottom && m_left < right; ++row)
            std::copy(m_line.begin() + m_left, m_line.begin() + right,
                      m_surface.m_pixels.begin() + row * m_surface.m_width + m_left);
        if (top < bottom && m_left < right)
            r = {static_cast<int>(m_left), static_cast<int>(top), static_cast<int>(right),
                 static_cast<int>(bottom)};
    }
    m_left = m_right = 0;
    if (r.Empty())
        return;
    if (m_dirty.Empty()) {
        m_dirty = r;
    } else {
        m_dirty.left = std::min(m_dirty.left, r.left);
        m_dirty.top = std::min(m_dirty.top, r.top);
        m_dirty.right = std::max(m_dirty.right, r.right);
        m_dirty.bottom = std::max(m_dirty.bottom, r.bottom);
    }
}

void CPictureSurface::DC::Flush() {
    Commit();
    if (m_dirty.Empty())
        return;
    const Rect r = m_dirty;
    m_dirty = Rect();
    m_surface.Notify(r);
}

void CPictureSurface::Resize(int width, int height) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_width = std::max(width, 0);
        m_height = std::max(height, 0);
        m_pixels.assign(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), 0xFF000000u);
    }
    Notify({0, 0, width, height});
}

void CPictureSurface::Fill(uint32_t rgb) {
    Rect r;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        std::fill(m_pixels.begin(), m_pixels.end(), 0xFF000000u | (rgb & 0xFFFFFFu));
        r = {0, 0, m_width, m_height};
    }
    Notify(r);
}

void CPictureSurface::SetListener(Listener listener) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_listener = std::move(listener);
}

int CPictureSurface::Width() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_width;
}

int CPictureSurface::Height() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_height;
}

uint32_t CPictureSurface::PixelAt(int x, int y) const {
    std::lock_guard<std::mutex> lock(m_lock);
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    return m_pixels[static_cast<size_t>(y) * m_width + x] & 0xFFFFFFu;
}

void CPictureSurface::Read(const std::function<void(const uint32_t*, int, int)>& f) const {
    std::lock_guard<std::mutex> lock(m_lock);
    f(m_pixels.data(), m_width, m_height);
}

void CPictureSurface::Notify(const Rect& rect) {
    if (rect.Empty())
        return;
    Listener listener;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        listener = m_listener;
    }
    if (listener)
        listener(rect);
}
