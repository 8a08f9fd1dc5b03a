#include "centre.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

namespace {

struct CentreCase {
    const char* name;
    Rect window;                  // only its size counts
    std::optional<Rect> workArea; // absent: SystemParametersInfoA failed
    long screenWidth, screenHeight;
    Position expected;
};

TEST(Centre, WindowToPosition)
{
    const CentreCase cases[] = {
        {"400x300 in a work area above a taskbar", {0, 0, 400, 300}, Rect{0, 0, 1024, 738}, 1024, 768, {312, 219}},
        {"where the window stood does not count", {-50, 900, 350, 1200}, Rect{0, 0, 1024, 738}, 1024, 768, {312, 219}},
        {"odd difference truncates", {0, 0, 401, 301}, Rect{0, 0, 1024, 738}, 1024, 768, {311, 218}},
        {"same size as the area", {0, 0, 1024, 738}, Rect{0, 0, 1024, 738}, 1024, 768, {0, 0}},
        {"two units larger: left and top edges", {0, 0, 1026, 740}, Rect{0, 0, 1024, 738}, 1024, 768, {0, 0}},
        {"much larger: left and top edges", {0, 0, 3000, 2000}, Rect{0, 0, 1024, 738}, 1024, 768, {0, 0}},
        {"one unit larger: one unit left and up", {0, 0, 1025, 739}, Rect{0, 0, 1024, 738}, 1024, 768, {-1, -1}},
        {"taskbar on the left and top shifts it", {0, 0, 400, 300}, Rect{100, 40, 1024, 768}, 1024, 768, {362, 254}},
        {"negative area, odd differences", {0, 0, 401, 301}, Rect{-1000, -700, -200, -100}, 1024, 768, {-801, -551}},
        {"negative area, one unit larger", {0, 0, 1025, 769}, Rect{-1024, -768, 0, 0}, 1024, 768, {-1025, -769}},
        {"negative area, three units larger", {0, 0, 1027, 771}, Rect{-1024, -768, 0, 0}, 1024, 768, {-1024, -768}},
        {"no work area: the whole screen", {0, 0, 400, 300}, std::nullopt, 1024, 768, {312, 234}},
        {"no work area: the screen bounds it too", {0, 0, 801, 601}, std::nullopt, 800, 600, {-1, -1}},
        {"no work area: larger than the screen", {0, 0, 1000, 300}, std::nullopt, 640, 480, {0, 90}},
    };
    for (const CentreCase& c : cases) {
        SCOPED_TRACE(c.name);
        Position got = CentredPosition(c.window, CentringArea(c.workArea, c.screenWidth, c.screenHeight));
        EXPECT_EQ(std::tie(got.x, got.y), std::tie(c.expected.x, c.expected.y));
    }
}

} // namespace
