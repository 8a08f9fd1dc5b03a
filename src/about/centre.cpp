#include "centre.h"

namespace {

// One axis: the start of a span of the given size, moved inside [low, high).
// Only one of the two pushes applies, the low edge's first.
long PushInside(long start, long size, long low, long high)
{
    if (start < low)
        return low;
    if (start + size > high)
        return high - size;
    return start;
}

} // namespace

Position CentredPosition(const Rect& window, const Rect& area)
{
    long width = window.right - window.left;
    long height = window.bottom - window.top;
    // Signed division truncates toward zero; a shift or a floor would move a
    // window larger than the area one unit too far left or up.
    long x = area.left + ((area.right - area.left) - width) / 2;
    long y = area.top + ((area.bottom - area.top) - height) / 2;
    return {PushInside(x, width, area.left, area.right), PushInside(y, height, area.top, area.bottom)};
}

Rect CentringArea(const std::optional<Rect>& workArea, long screenWidth, long screenHeight)
{
    if (workArea)
        return *workArea;
    return {0, 0, screenWidth, screenHeight};
}
