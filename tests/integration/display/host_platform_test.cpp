// The Linux host services and the toolkit's decoders and keys, for real: lock files, the
// volume serial and its lab override, /proc, spawning, image formats, Qt key codes.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <Qt>
#include <filesystem>

#include "platform/image.h"
#include "platform/linux/qt_keys.h"
#include "platform/system.h"
#include "platform/ui.h"
#include "tests/fakes/skin_fixture.h"

namespace orvane::platform {
namespace {

TEST(HostSystem, NamedMutexIsHeldUntilTheProcessEnds) {
    System& sys = hostSystem();
    const std::string name = "orvane-test-" + std::to_string(getpid());
    EXPECT_FALSE(sys.namedMutexExists(name));
    EXPECT_EQ(sys.createNamedMutex(name), MutexResult::Created);
    EXPECT_EQ(sys.createNamedMutex(name), MutexResult::AlreadyExists);
    EXPECT_TRUE(sys.namedMutexExists(name));

    // Another process sees it held; once this one is gone, a new owner can take it.
    pid_t child = fork();
    if (child == 0) _exit(hostSystem().createNamedMutex(name) == MutexResult::AlreadyExists ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const std::string other = name + "-child";
    child = fork();
    if (child == 0) {
        hostSystem().createNamedMutex(other);
        _exit(0);
    }
    waitpid(child, &status, 0);
    EXPECT_FALSE(sys.namedMutexExists(other));
    EXPECT_EQ(sys.createNamedMutex(other), MutexResult::Created);
}

TEST(HostSystem, VolumeSerialAndTheLabOverride) {
    System& sys = hostSystem();
    EXPECT_EQ(sys.systemRoot(), "/");
    std::uint32_t serial = 0;
    unsetenv("ORVANE_LAB_VOLUME_SERIAL");
    EXPECT_TRUE(sys.volumeSerial("/", serial));
    EXPECT_FALSE(sys.volumeSerial("/nonexistent/volume", serial));
    setenv("ORVANE_LAB_VOLUME_SERIAL", "4242", 1);
    EXPECT_TRUE(sys.volumeSerial("/", serial));
    EXPECT_EQ(serial, 4242u);
    setenv("ORVANE_LAB_VOLUME_SERIAL", "12x", 1);  // not a number: the real serial
    EXPECT_TRUE(sys.volumeSerial("/", serial));
    EXPECT_NE(serial, 12u);
    unsetenv("ORVANE_LAB_VOLUME_SERIAL");
}

TEST(HostSystem, ProcessesSoundsAndPrograms) {
    System& sys = hostSystem();
    EXPECT_TRUE(sys.isProcessRunning("host_platform_t"));  // the kernel keeps 15 characters
    EXPECT_TRUE(sys.isProcessRunning("host_platform_test"));
    EXPECT_FALSE(sys.isProcessRunning("no-such-program-here"));
    EXPECT_FALSE(sys.playSoundAsync("/nonexistent/chimes.wav"));
    EXPECT_FALSE(sys.startProgram("/nonexistent/parlo"));
    EXPECT_TRUE(sys.startProgram("/bin/true"));
    EXPECT_FALSE(sys.temporaryFolder().empty());
}

TEST(HostSystem, ChimeComesFromTheDesktopSoundTheme) {
    System& sys = hostSystem();
    const char* saved = std::getenv("XDG_DATA_DIRS");
    const std::string savedDirs = saved ? saved : "";
    const std::string first = test::makeSkinFolder({}), second = test::makeSkinFolder({});
    auto put = [](const std::string& dir, const char* file) {
        const std::string stereo = dir + "sounds/freedesktop/stereo/";
        std::filesystem::create_directories(stereo);
        test::writeFile(stereo + file, {'O', 'g', 'g', 'S'});
        return stereo + file;
    };
    setenv("XDG_DATA_DIRS", (first + ":" + second).c_str(), 1);
    EXPECT_EQ(sys.systemChimeFile(), "");
    const std::string bell = put(second, "bell.oga");
    EXPECT_EQ(sys.systemChimeFile(), bell);
    const std::string complete = put(second, "complete.oga");  // "complete" before "bell"
    EXPECT_EQ(sys.systemChimeFile(), complete);
    const std::string earlier = put(first, "complete.wav");  // the first data folder wins
    EXPECT_EQ(sys.systemChimeFile(), earlier);
    if (saved) {
        setenv("XDG_DATA_DIRS", savedDirs.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_DIRS");
    }
    test::removeFolder(first);
    test::removeFolder(second);
}

TEST(Keys, QtKeysMapToTheWindowProcedureCodes) {
    using qt::virtualKeyFor;
    struct Case {
        int qtKey;
        bool keypad;
        int vk;
    } cases[] = {
        {Qt::Key_Escape, false, vk::kEscape}, {Qt::Key_Space, false, vk::kSpace}, {Qt::Key_0, false, 0x30},
        {Qt::Key_9, false, 0x39},             {Qt::Key_7, true, 0x67},            {Qt::Key_Plus, true, vk::kAdd},
        {Qt::Key_Plus, false, 0xBB},          {Qt::Key_A, false, 0x41},           {Qt::Key_F1, false, vk::kF1},
        {Qt::Key_F2, false, 0x71},            {Qt::Key_unknown, false, 0},        {Qt::Key_Eacute, false, 0xFF},
    };
    for (const Case& c : cases) EXPECT_EQ(virtualKeyFor(c.qtKey, c.keypad), c.vk) << c.qtKey;
}

TEST(Keys, AltAndF10AreSystemKeysAndTopRowDigitsGoByPosition) {
    using qt::keyStrokeFor;
    const unsigned alt = Qt::AltModifier, ctrl = Qt::ControlModifier, keypad = Qt::KeypadModifier;
    struct Case {
        int qtKey;
        unsigned modifiers, scan;
        int vk;
        bool system;
    } cases[] = {
        {Qt::Key_Alt, alt, 64, vk::kMenu, true},       {Qt::Key_Alt, 0, 64, vk::kMenu, true},  // its release
        {Qt::Key_F10, 0, 76, vk::kF10, true},          {Qt::Key_1, alt, 10, 0x31, true},
        {Qt::Key_Tab, alt, 23, 0x09, true},            {Qt::Key_Exclam, 0, 10, 0x31, false},  // '1' by position
        {Qt::Key_Ampersand, alt, 10, 0x31, true},      {Qt::Key_2, alt | ctrl, 11, 0x32, false},
        {Qt::Key_7, keypad, 79, 0x67, false},          {Qt::Key_Space, 0, 65, vk::kSpace, false},
        {Qt::Key_Space, alt, 65, vk::kSpace, true},    {Qt::Key_F1, 0, 0, vk::kF1, false},
    };
    for (const Case& c : cases) {
        const auto k = keyStrokeFor(c.qtKey, c.modifiers, c.scan);
        EXPECT_EQ(k.virtualKey, c.vk) << c.qtKey;
        EXPECT_EQ(k.systemKey, c.system) << c.qtKey;
    }
}

TEST(Decoders, EachDecoderTakesOnlyWhatItShould) {
    auto bmp = test::solidBmp(3, 2, 0x102030);
    auto decoded = decodeBmpBytes(bmp);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, 3);
    EXPECT_EQ(decoded->at(2, 1), 0xFF102030u);
    EXPECT_FALSE(decodePngBytes(bmp).has_value());  // PNG only
    EXPECT_TRUE(decodeAnyImage(bmp).has_value());
    const std::uint8_t shortBytes[] = {0x89, 'P', 'N'};
    EXPECT_FALSE(decodePngBytes(shortBytes).has_value());
    EXPECT_FALSE(decodeBmpBytes(std::span<const std::uint8_t>(bmp.data(), 20)).has_value());
    auto cut = bmp;
    cut.resize(40);  // header promises more than there is
    EXPECT_FALSE(decodeBmpBytes(cut).has_value());
    EXPECT_FALSE(loadBmpFile("/nonexistent/0.bmp").has_value());

    std::string dir = test::makeSkinFolder();
    auto gif = loadAnimationFile(dir + "electron-animation.gif");
    ASSERT_TRUE(gif.has_value());
    ASSERT_EQ(gif->frames.size(), 1u);
    EXPECT_TRUE(gif->hasDelays);
    EXPECT_EQ(gif->delaysMs, std::vector<int>{100});
    EXPECT_FALSE(loadAnimationFile(dir + "missing.gif").has_value());
    test::removeFolder(dir);
}

TEST(Decoders, ScalingAndRotationKeepTheSize) {
    Image src(10, 6, 0xFF808080u);
    Image big = scaleImage(src, 150, 150);
    EXPECT_EQ(big.width, 150);
    EXPECT_EQ(big.at(75, 75), 0xFF808080u);
    EXPECT_TRUE(scaleImage(Image(), 5, 5).pixels.size() == 25u);
    Image turned = rotateImage(src, 90.0);
    EXPECT_EQ(turned.width, 10);
    EXPECT_EQ(turned.height, 6);
    EXPECT_EQ(turned.at(0, 0), 0xFF000000u);
}

}  // namespace
}  // namespace orvane::platform
