#include "centre_window.h"

#include "centre.h"

void CentreWindow(HWND window)
{
    RECT own;
    if (!GetWindowRect(window, &own))
        return;
    std::optional<Rect> workArea;
    RECT work;
    if (SystemParametersInfoA(SPI_GETWORKAREA, 16, &work, 0))
        workArea = Rect{work.left, work.top, work.right, work.bottom};
    Rect area = CentringArea(workArea, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    Position at = CentredPosition(Rect{own.left, own.top, own.right, own.bottom}, area);
    SetWindowPos(window, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
