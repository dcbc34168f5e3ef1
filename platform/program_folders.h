#pragma once
// Where a program finds its own files: beside itself, so that the same tree works wherever it
// lies (/usr, /usr/local, /opt, unpacked anywhere) and whatever the working folder is.
#include <functional>
#include <string>

namespace orvane::platform {

struct ProgramFolders {
    std::string data;      // the skin and sounds, ending in '/'; empty: the working folder
    std::string programs;  // the folder that holds the speech program; empty: unknown
};

// `programPath`: the running program's absolute path. `dataFromBin` and `programsFromBin`: an
// installed tree's data folder and speech program folder, relative to the program's own folder
// ("../share/orvane", "../libexec/orvane"). The tree counts as installed when that data folder
// is there (`isFolder`); otherwise it is a build tree, whose programs run from the folder that
// holds the skin, with the speech program in its `Orvane` subfolder. A path that is not
// absolute gives empty folders.
ProgramFolders programFoldersFor(const std::string& programPath, const std::string& dataFromBin,
                                 const std::string& programsFromBin,
                                 const std::function<bool(const std::string&)>& isFolder);

// `folder` joined with a relative path, each leading ".." taking one component off `folder`:
// ("/usr/bin", "../share/orvane") is "/usr/share/orvane". No trailing '/'.
std::string joinFolder(const std::string& folder, const std::string& relative);

}  // namespace orvane::platform
