#pragma once
// Process and system services.
#include <cstdint>
#include <string>

namespace orvane::platform {

enum class MutexResult { Created, AlreadyExists, Failed };

class System {
public:
    virtual ~System() = default;
    // A named single-instance mutex owned by this process until it ends.
    virtual MutexResult createNamedMutex(const std::string& name) = 0;
    // True when a mutex of that name is held by a running process.
    virtual bool namedMutexExists(const std::string& name) = 0;

    // The root of the file system that holds the system ("C:\" on Windows, "/" here); empty
    // when it cannot be obtained.
    virtual std::string systemRoot() = 0;
    // The 32-bit serial of the volume at `root`; false when it cannot be read.
    virtual bool volumeSerial(const std::string& root, std::uint32_t& serial) = 0;

    // True when a process runs whose executable name equals `name`, ignoring case.
    virtual bool isProcessRunning(const std::string& name) = 0;
    // Starts the program at `path` with no arguments, without waiting for it.
    virtual bool startProgram(const std::string& path) = 0;
    // The folder the speech program is found under (see ProgramLocation); empty when unknown.
    // Windows: the Program Files folder. Linux: the folder that holds it in this program's own
    // tree (../libexec/orvane installed, Orvane/ beside the program in a build tree).
    virtual std::string programsFolder() = 0;
    // The folder the program's data files (the skin, its sounds) are read from, ending in a
    // separator, or empty for the working folder. Windows: the working folder (the installer's
    // shortcuts start the program in its own folder). Linux: found from the program's own
    // location (../share/orvane installed, the program's folder in a build tree), whatever the
    // working folder.
    virtual std::string dataFolder() = 0;
    // The user's own temporary folder (no trailing separator), private to the user; empty
    // when none can be had.
    virtual std::string temporaryFolder() = 0;
    // The user's own folder for programs' local data (no trailing separator): the local
    // application data folder on Windows, $XDG_DATA_HOME (else ~/.local/share) here; empty when
    // none can be had.
    virtual std::string localDataFolder() { return {}; }
    // Opens a web address in the desktop's default browser.
    virtual bool openUrl(const std::string& url) = 0;
    // Plays a sound file without waiting; false when it cannot be played.
    virtual bool playSoundAsync(const std::string& path) = 0;
    // The desktop's own chime sound file, empty when it has none (the program then plays the
    // chime of its skin).
    virtual std::string systemChimeFile() { return {}; }
};

System& hostSystem();

// Where the speech program lies under `programsFolder()`: a printf format taking that folder,
// and the name its process runs under (compared ignoring case).
struct ProgramLocation {
    const char* pathFormat;
    const char* processName;
};
inline constexpr ProgramLocation kSpeechProgramOnWindows{"%s\\Orvane\\Parlo.exe", "Parlo.exe"};
inline constexpr ProgramLocation kSpeechProgramOnLinux{"%s/parlo", "parlo"};
// The one of the two for the system this program runs on.
const ProgramLocation& speechProgramLocation();

}  // namespace orvane::platform
