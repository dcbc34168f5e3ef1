// Where a program finds its skin and the speech program, from its own path alone.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "platform/program_folders.h"

namespace orvane::platform {
namespace {

TEST(ProgramFolders, FoundBesideTheProgramWhereverTheTreeLies) {
    const std::set<std::string> folders = {"/usr/share/orvane", "/usr/local/share/orvane",
                                           "/opt/orvane/share/orvane", "/home/ana/unpacked/usr/share/orvane"};
    const auto isFolder = [&](const std::string& p) { return folders.count(p) > 0; };
    struct Case {
        const char* program;
        const char* data;
        const char* programs;
    };
    const Case cases[] = {
        {"/usr/bin/orvane", "/usr/share/orvane/", "/usr/libexec/orvane"},
        {"/usr/local/bin/orvane", "/usr/local/share/orvane/", "/usr/local/libexec/orvane"},
        {"/opt/orvane/bin/orvane", "/opt/orvane/share/orvane/", "/opt/orvane/libexec/orvane"},
        {"/home/ana/unpacked/usr/bin/orvane", "/home/ana/unpacked/usr/share/orvane/",
         "/home/ana/unpacked/usr/libexec/orvane"},
        // No data folder above it: a build tree, skin beside the program, Parlo in Orvane/.
        {"/work/build/run/orvane", "/work/build/run/", "/work/build/run/Orvane"},
        {"/orvane", "/", "/Orvane"},
    };
    for (const Case& c : cases) {
        const ProgramFolders f = programFoldersFor(c.program, "../share/orvane", "../libexec/orvane", isFolder);
        EXPECT_EQ(f.data, c.data) << c.program;
        EXPECT_EQ(f.programs, c.programs) << c.program;
    }
}

TEST(ProgramFolders, AnUnknownPathLeavesTheWorkingFolder) {
    const auto always = [](const std::string&) { return true; };
    for (const char* program : {"", "orvane", "bin/orvane"}) {
        const ProgramFolders f = programFoldersFor(program, "../share/orvane", "../libexec/orvane", always);
        EXPECT_EQ(f.data, "") << program;
        EXPECT_EQ(f.programs, "") << program;
    }
}

TEST(ProgramFolders, OtherInstallFoldersAreFollowed) {
    // e.g. CMAKE_INSTALL_LIBEXECDIR=lib/x86_64-linux-gnu, a bin two levels down.
    const auto isFolder = [](const std::string& p) { return p == "/srv/tree/share/orvane"; };
    const ProgramFolders f =
        programFoldersFor("/srv/tree/sbin/x/orvane", "../../share/orvane", "../../lib/x86_64-linux-gnu/orvane", isFolder);
    EXPECT_EQ(f.data, "/srv/tree/share/orvane/");
    EXPECT_EQ(f.programs, "/srv/tree/lib/x86_64-linux-gnu/orvane");
}

TEST(ProgramFolders, JoinTakesOneComponentPerParentStep) {
    EXPECT_EQ(joinFolder("/usr/bin", "../share/orvane"), "/usr/share/orvane");
    EXPECT_EQ(joinFolder("/usr/bin/", "./../share//orvane/"), "/usr/share/orvane");
    EXPECT_EQ(joinFolder("/usr", "../../.."), "/");
    EXPECT_EQ(joinFolder("/", "share"), "/share");
    EXPECT_EQ(joinFolder("/a/b", ""), "/a/b");
}

}  // namespace
}  // namespace orvane::platform
