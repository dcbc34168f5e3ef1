// The work area a window reports on Qt: the available geometry of the screen that holds it.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "tests/fakes/qt_test_ui.h"

namespace orvane {
namespace {

TEST(QtWindows, WorkAreaIsTheAvailableGeometryOfTheScreenThatHoldsTheWindow) {
    auto& ui = test::testUi();
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRect a = screen->availableGeometry();
    ASSERT_GT(a.width(), 0);
    platform::WindowHandler handler;
    platform::WindowSpec spec;
    spec.title = "work area";
    spec.x = a.left() + 10;
    spec.y = a.top() + 10;
    spec.width = 40;
    spec.height = 30;
    platform::Window* w = ui.createWindow(spec, &handler);
    ASSERT_NE(w, nullptr);
    const platform::Rect expected{a.left(), a.top(), a.left() + a.width(), a.top() + a.height()};
    for (platform::Point at : {platform::Point{a.left() + 10, a.top() + 10}, platform::Point{-5000, -5000}}) {
        w->move(at.x, at.y);  // off every screen: the window's own screen
        const platform::Rect r = w->workArea();
        EXPECT_EQ(std::vector<int>({r.left, r.top, r.right, r.bottom}),
                  std::vector<int>({expected.left, expected.top, expected.right, expected.bottom}))
            << at.x << "," << at.y;
    }
    ui.destroyWindow(w);
}

}  // namespace
}  // namespace orvane
