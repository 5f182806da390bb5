// Where the program works: ~/GPS_Quillmar when started from the menu.
#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"
#include "working_folder.h"

namespace {

std::string CurrentDirectory() {
    char path[PATH_MAX];
    return getcwd(path, sizeof path) != nullptr ? path : "";
}

TEST(StartedFromMenu, OnlyTheMenuOptionItselfCounts) {
    const char* plain[] = {"GPS_Quillmar"};
    const char* menu[] = {"GPS_Quillmar", "-style", "fusion", "--from-menu"};
    const char* lookalikes[] = {"GPS_Quillmar", "--from-menus", "from-menu", "-from-menu"};
    EXPECT_FALSE(StartedFromMenu(1, plain));
    EXPECT_TRUE(StartedFromMenu(4, menu));
    EXPECT_FALSE(StartedFromMenu(4, lookalikes));
}

class WorkingFolder : public testing::Test {
protected:
    WorkingFolder() {
        if (const char* home = std::getenv("HOME"))
            savedHome_ = home;
    }
    ~WorkingFolder() override {
        if (savedHome_)
            setenv("HOME", savedHome_->c_str(), 1);
        else
            unsetenv("HOME");
    }
    TempWorkDir dir_;
    std::optional<std::string> savedHome_;
};

TEST_F(WorkingFolder, TheMenuFolderIsInTheHomeFolder) {
    setenv("HOME", "/home/ana", 1);
    EXPECT_EQ(MenuWorkingFolder(), "/home/ana/GPS_Quillmar");
    setenv("HOME", "/home/ana/", 1);
    EXPECT_EQ(MenuWorkingFolder(), "/home/ana/GPS_Quillmar");
    // Without $HOME the password entry says where home is.
    unsetenv("HOME");
    const passwd* entry = getpwuid(getuid());
    ASSERT_NE(entry, nullptr);
    std::string home = entry->pw_dir;
    if (home.back() != '/')
        home += '/';
    EXPECT_EQ(MenuWorkingFolder(), home + "GPS_Quillmar");
}

TEST_F(WorkingFolder, AMissingFolderIsMadeAndFilesLandInIt) {
    const std::string folder = dir_.path() + "/GPS_Quillmar";
    EXPECT_EQ(EnterWorkingFolder(folder), "");
    EXPECT_EQ(CurrentDirectory(), folder);
    WriteFileBytes("Quillmar.aon", "0 1,3,1,0,");
    EXPECT_TRUE(FileExists(folder + "/Quillmar.aon"));

    // The next start finds the folder with its files.
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    EXPECT_EQ(EnterWorkingFolder(folder), "");
    EXPECT_EQ(CurrentDirectory(), folder);
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "0 1,3,1,0,");
}

TEST_F(WorkingFolder, WhatStandsInTheWayIsToldAndTheDirectoryStays) {
    const std::string before = CurrentDirectory();
    WriteFileBytes("GPS_Quillmar", "a file, not a folder");
    EXPECT_EQ(EnterWorkingFolder(dir_.path() + "/GPS_Quillmar"),
              "Cannot work in the folder " + dir_.path() + "/GPS_Quillmar: Not a directory");
    EXPECT_EQ(CurrentDirectory(), before);
    EXPECT_EQ(ReadFileBytes("GPS_Quillmar"), "a file, not a folder");

    // Only the folder itself is made, not a home that is not there.
    EXPECT_EQ(EnterWorkingFolder(dir_.path() + "/gone/GPS_Quillmar"),
              "Cannot make the folder " + dir_.path() +
                  "/gone/GPS_Quillmar: No such file or directory");
    EXPECT_EQ(CurrentDirectory(), before);
    struct stat info {};
    EXPECT_NE(stat((dir_.path() + "/gone").c_str(), &info), 0);
}

} // namespace
