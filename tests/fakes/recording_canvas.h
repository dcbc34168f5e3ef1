#pragma once
// A canvas that draws nothing and records every call as one line of text, e.g.
// "blitTransparent 50 100 16x16" or "text 160 168 -1".
#include <string>
#include <vector>

#include "platform/canvas.h"

namespace orvane::test {

class RecordingCanvas final : public platform::Canvas {
public:
    explicit RecordingCanvas(std::vector<std::string>* sink = nullptr) : sink_(sink ? sink : &own_) {}

    const std::vector<std::string>& ops() const { return *sink_; }
    // How many recorded lines start with `prefix`.
    int count(const std::string& prefix) const {
        int n = 0;
        for (const auto& op : *sink_) n += op.rfind(prefix, 0) == 0;
        return n;
    }

    void fillRect(platform::Rect r, platform::Colour) override { add("fillRect " + rect(r)); }
    void frameRect(platform::Rect r, platform::Colour) override { add("frameRect " + rect(r)); }
    void roundRect(platform::Rect r, int, int, platform::Colour, int, platform::Colour) override {
        add("roundRect " + rect(r));
    }
    void line(platform::Point a, platform::Point b, platform::Colour, int) override {
        add("line " + pt(a) + " " + pt(b));
    }
    void ellipse(platform::Rect r, platform::Colour, int, platform::Colour) override { add("ellipse " + rect(r)); }
    void text(int x, int y, std::string_view s, const platform::Font&, platform::Colour,
              std::optional<platform::Colour>) override {
        add("text " + std::to_string(x) + " " + std::to_string(y) + " " + std::string(s));
    }
    void textCentred(platform::Rect r, std::string_view s, const platform::Font&, platform::Colour,
                     std::optional<platform::Colour>, bool) override {
        add("textCentred " + rect(r) + " " + std::string(s));
    }
    void blit(const platform::Image& img, int x, int y) override { add("blit " + at(x, y, img)); }
    void blitStretched(const platform::Image& img, platform::Rect r) override {
        add("blitStretched " + rect(r) + " " + std::to_string(img.width) + "x" + std::to_string(img.height));
    }
    void blitTransparent(const platform::Image& img, int x, int y) override { add("blitTransparent " + at(x, y, img)); }
    platform::Image readRegion(platform::Rect r) override { return platform::Image(r.width(), r.height()); }

private:
    static std::string pt(platform::Point p) { return std::to_string(p.x) + " " + std::to_string(p.y); }
    static std::string rect(platform::Rect r) {
        return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
               std::to_string(r.bottom);
    }
    static std::string at(int x, int y, const platform::Image& img) {
        return std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(img.width) + "x" +
               std::to_string(img.height);
    }
    void add(std::string s) { sink_->push_back(std::move(s)); }

    std::vector<std::string> own_;
    std::vector<std::string>* sink_;
};

}  // namespace orvane::test
