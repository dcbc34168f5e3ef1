#include <gtest/gtest.h>

#include <vector>

#include "device/link_status.h"
#include "tests/fakes/recording_canvas.h"
#include "tests/fakes/fake_ui.h"

namespace orvane::device {
namespace {

using Outcome = PictureDownload::Outcome;

struct LinkFixture : ::testing::Test {
    LinkFixture() {
        platform::WindowSpec spec;
        spec.width = 550;
        spec.height = 730;
        window = std::make_unique<test::FakeWindow>(spec, nullptr);
        state.ui.mainWindow.store(window.get());
    }
    PictureFetcher fetcher() {
        return [this](int status) {
            fetched.push_back(status);
            PictureDownload d;
            d.outcome = next;
            if (next == Outcome::Picture) d.picture = platform::Image(32, 32, 0xFF000000u | static_cast<unsigned>(status));
            return d;
        };
    }
    int drawsOnWindow() const {
        int n = 0;
        for (const auto& op : window->ops) n += op == "blitStretched 314 500 346 532 32x32";
        return n;
    }

    ClientState state;
    std::unique_ptr<test::FakeWindow> window;
    std::vector<int> fetched;
    Outcome next = Outcome::Picture;
};

TEST_F(LinkFixture, SameStatusTwiceDownloadsAndDrawsOnce) {
    LinkStatus link(state, fetcher());
    link.set(1);
    link.set(1);
    EXPECT_EQ(fetched, std::vector<int>{1});
    EXPECT_EQ(drawsOnWindow(), 1);
    EXPECT_EQ(link.current(), 1);
}

TEST_F(LinkFixture, RepaintDrawsTheLastPictureAtItsPlace) {
    LinkStatus link(state, fetcher());
    test::RecordingCanvas before;
    link.draw(before);
    EXPECT_TRUE(before.ops().empty());
    link.set(2);
    test::RecordingCanvas after;
    link.draw(after);
    EXPECT_EQ(after.ops(), std::vector<std::string>{"blitStretched 314 500 346 532 32x32"});
}

TEST_F(LinkFixture, DownloadOutcomes) {
    LinkStatus link(state, fetcher());
    link.set(1);
    ASSERT_TRUE(link.hasPicture());

    next = Outcome::NoBytes;  // an empty answer: the black picture stays although the status changed
    link.set(2);
    EXPECT_EQ(link.current(), 2);
    EXPECT_TRUE(link.hasPicture());
    EXPECT_EQ(drawsOnWindow(), 1);

    next = Outcome::Failed;  // no picture until the next change, and no retry meanwhile
    link.set(3);
    link.set(3);
    EXPECT_FALSE(link.hasPicture());
    test::RecordingCanvas c;
    link.draw(c);
    EXPECT_TRUE(c.ops().empty());
    EXPECT_EQ(fetched, (std::vector<int>{1, 2, 3}));

    next = Outcome::Picture;
    link.set(1);
    EXPECT_TRUE(link.hasPicture());
    EXPECT_EQ(drawsOnWindow(), 2);
    link.release();
    EXPECT_FALSE(link.hasPicture());
}

TEST_F(LinkFixture, NoMainWindowKeepsThePictureForTheNextPaint) {
    state.ui.mainWindow.store(nullptr);
    LinkStatus link(state, fetcher());
    link.set(1);
    EXPECT_TRUE(link.hasPicture());
    EXPECT_EQ(drawsOnWindow(), 0);
}

}  // namespace
}  // namespace orvane::device
