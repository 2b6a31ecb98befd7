#pragma once

#include <array>
#include <cstdint>

namespace veltry {

// Which real columns are shown. Hidden columns keep their cells; the display shows only the
// visible ones, in real order.
class ColumnMap
{
public:
    static constexpr int kSize = 257;

    ColumnMap() { m_visible.fill(1); }

    bool isHidden(int real) const { return real < 0 || real > 255 || m_visible[size_t(real)] == 0; }
    int hiddenCount() const { return m_hidden; }
    void hide(int real)
    {
        if (!isHidden(real)) {
            m_visible[size_t(real)] = 0;
            ++m_hidden;
        }
    }
    void unhide(int real)
    {
        if (real >= 0 && real <= 255 && m_visible[size_t(real)] == 0) {
            m_visible[size_t(real)] = 1;
            --m_hidden;
        }
    }
    // One past the highest hidden real column; 0 when none is hidden.
    int hiddenEnd() const
    {
        if (m_hidden == 0)
            return 0;
        for (int c = 255; c >= 0; --c)
            if (!m_visible[size_t(c)])
                return c + 1;
        return 0;
    }
    // The real column shown as display column k; 0 when there is none.
    int displayToReal(int k) const
    {
        if (m_hidden == 0)
            return k >= 0 && k <= 255 ? k : 0;
        int seen = 0;
        for (int c = 0; c <= 255; ++c) {
            if (m_visible[size_t(c)]) {
                if (seen == k)
                    return c;
                ++seen;
            }
        }
        return 0;
    }
    // The display column of a real column, or -1 when it is hidden.
    int realToDisplay(int real) const
    {
        if (isHidden(real))
            return -1;
        int k = 0;
        for (int c = 0; c < real; ++c)
            k += m_visible[size_t(c)];
        return k;
    }

private:
    std::array<uint8_t, kSize> m_visible{};
    int m_hidden = 0;
};

} // namespace veltry
