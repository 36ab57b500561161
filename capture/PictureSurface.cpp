#include "capture/PictureSurface.h"

#include <algorithm>

void CPictureSurface::DC::FillBlock(int64_t x, int64_t y, int size, uint32_t rgb) {
    if (size <= 0)
        return;
    const uint32_t word = 0xFF000000u | (rgb & 0xFFFFFFu);
    Rect r;
    {
        std::lock_guard<std::mutex> lock(m_surface.m_lock);
        const int64_t left = std::max<int64_t>(x, 0);
        const int64_t top = std::max<int64_t>(y, 0);
        const int64_t right = std::min<int64_t>(x + size, m_surface.m_width);
        const int64_t bottom = std::min<int64_t>(y + size, m_surface.m_height);
        if (right <= left || bottom <= top)
            return;
        for (int64_t row = top; row < bottom; ++row) {
            uint32_t* p = m_surface.m_pixels.data() + row * m_surface.m_width;
            std::fill(p + left, p + right, word);
        }
        r = {static_cast<int>(left), static_cast<int>(top), static_cast<int>(right),
             static_cast<int>(bottom)};
    }
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
