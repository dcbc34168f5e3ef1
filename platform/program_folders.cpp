#include "platform/program_folders.h"

namespace orvane::platform {

namespace {

constexpr char kBuildTreeProgramsSubfolder[] = "Orvane";

std::string withoutTrailingSlashes(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

}  // namespace

std::string joinFolder(const std::string& folder, const std::string& relative) {
    std::string out = withoutTrailingSlashes(folder);
    std::size_t at = 0;
    while (at < relative.size()) {
        std::size_t end = relative.find('/', at);
        if (end == std::string::npos) end = relative.size();
        const std::string part = relative.substr(at, end - at);
        at = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            const std::size_t slash = out.rfind('/');
            out = slash == 0 || slash == std::string::npos ? "/" : out.substr(0, slash);
            continue;
        }
        if (out.back() != '/') out += '/';
        out += part;
    }
    return out;
}

ProgramFolders programFoldersFor(const std::string& programPath, const std::string& dataFromBin,
                                 const std::string& programsFromBin,
                                 const std::function<bool(const std::string&)>& isFolder) {
    if (programPath.empty() || programPath.front() != '/') return {};
    const std::size_t slash = programPath.rfind('/');
    const std::string own = slash == 0 ? "/" : programPath.substr(0, slash);
    const std::string installedData = joinFolder(own, dataFromBin);
    if (!dataFromBin.empty() && isFolder(installedData)) {
        return {installedData == "/" ? installedData : installedData + "/", joinFolder(own, programsFromBin)};
    }
    return {own == "/" ? own : own + "/", joinFolder(own, kBuildTreeProgramsSubfolder)};
}

}  // namespace orvane::platform
