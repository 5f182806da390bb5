// Quillmar.aon through its two functions, in a temporary working directory.
#include "settings_file.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

bool SameSettings(const UserSettings& a, const UserSettings& b) {
    return a.portIndex == b.portIndex && a.codes.baudRate == b.codes.baudRate &&
           a.codes.dataBits == b.codes.dataBits && a.codes.parity == b.codes.parity &&
           a.codes.stopBits == b.codes.stopBits;
}

TEST(SettingsFile, RoundTripsInTenBytes) {
    TempWorkDir dir;
    EXPECT_FALSE(ReadSettingsFile().has_value()) << "no file, no settings";
    const UserSettings written{6, {3, 2, 4, 1}};
    ASSERT_TRUE(WriteSettingsFile(written));
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "6 3,2,4,1,");
    const std::optional<UserSettings> read = ReadSettingsFile();
    ASSERT_TRUE(read.has_value());
    EXPECT_TRUE(SameSettings(*read, written));

    // The start values, as the program writes them for COM_1.
    ASSERT_TRUE(WriteSettingsFile({}));
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "0 1,3,1,0,");
}

TEST(SettingsFile, IsReadByBytePositionWithoutChecks) {
    TempWorkDir dir;
    const struct {
        const char* bytes;
        UserSettings read;
    } cases[] = {
        // Missing bytes read as zero: -48.
        {"2 5", {2, {5, -48, -48, -48}}},
        {"", {-48, {-48, -48, -48, -48}}},
        // The bytes between are not looked at.
        {"1x2y3z4w5v", {1, {2, 3, 4, 5}}},
        // Only the first line counts.
        {"3 1\n3,1,0,", {3, {1, -48, -48, -48}}},
        {"A 1,3,1,0,", {'A' - '0', {1, 3, 1, 0}}},
    };
    for (const auto& c : cases) {
        WriteFileBytes("Quillmar.aon", c.bytes);
        const std::optional<UserSettings> read = ReadSettingsFile();
        ASSERT_TRUE(read.has_value()) << c.bytes;
        EXPECT_TRUE(SameSettings(*read, c.read)) << c.bytes;
    }
    // A folder in its place holds no line.
    fs::remove("Quillmar.aon");
    fs::create_directory("Quillmar.aon");
    const std::optional<UserSettings> folder = ReadSettingsFile();
    ASSERT_TRUE(folder.has_value());
    EXPECT_EQ(folder->portIndex, -48);
}

TEST(SettingsFile, AFileThatCannotBeWrittenKeepsItsBytesAndMode) {
    TempWorkDir dir;
    WriteFileBytes("Quillmar.aon", "4 1,3,1,0,");
    // No write bit: refused even for root.
    ASSERT_EQ(chmod("Quillmar.aon", 0444), 0);
    EXPECT_FALSE(WriteSettingsFile({0, {}}));
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "4 1,3,1,0,");

    // Writable again: replaced whole, its mode kept, no temporary left behind.
    ASSERT_EQ(chmod("Quillmar.aon", 0640), 0);
    EXPECT_TRUE(WriteSettingsFile({8, {}}));
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "8 1,3,1,0,");
    struct stat st {};
    ASSERT_EQ(stat("Quillmar.aon", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);

    // A new file gets the mode the umask leaves.
    fs::remove("Quillmar.aon");
    const mode_t mask = umask(027);
    EXPECT_TRUE(WriteSettingsFile({}));
    umask(mask);
    ASSERT_EQ(stat("Quillmar.aon", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(SettingsFile, AFolderInItsPlaceOrAReadOnlyFolderRefuseIt) {
    TempWorkDir dir;
    fs::create_directory("Quillmar.aon");
    EXPECT_FALSE(WriteSettingsFile({}));
    EXPECT_TRUE(fs::is_directory("Quillmar.aon"));
    fs::remove("Quillmar.aon");

    fs::create_directory("locked");
    ASSERT_EQ(chdir("locked"), 0);
    ASSERT_EQ(chmod(".", 0555), 0);
    EXPECT_FALSE(WriteSettingsFile({}));
    EXPECT_FALSE(FileExists("Quillmar.aon"));
    ASSERT_EQ(chmod(".", 0755), 0);
    ASSERT_EQ(chdir(".."), 0);
}

// A folder without write bits takes no temporary file, for root too.
class LockedFolder {
public:
    // `name` is kept as an absolute path: tests step into the folder.
    explicit LockedFolder(const char* name) : name_(fs::absolute(name).string()) {
        fs::create_directory(name_);
        EXPECT_EQ(chmod(name_.c_str(), 0555), 0);
    }
    ~LockedFolder() { chmod(name_.c_str(), 0755); }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;
    // Puts a file in it behind the lock's back.
    void Put(const std::string& name, const std::string& bytes, mode_t mode) {
        const std::string path = name_ + "/" + name;
        chmod(name_.c_str(), 0755);
        fs::remove(path);
        WriteFileBytes(path, bytes);
        EXPECT_EQ(chmod(path.c_str(), mode), 0);
        EXPECT_EQ(chmod(name_.c_str(), 0555), 0);
    }
    std::size_t Entries() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(name_), fs::directory_iterator()));
    }

private:
    std::string name_;
};

ino_t Inode(const char* path) {
    struct stat st {};
    EXPECT_EQ(stat(path, &st), 0) << path;
    return st.st_ino;
}

TEST(SettingsFile, InAFolderThatTakesNoTemporaryFileTheFileIsWrittenInPlace) {
    TempWorkDir dir;
    LockedFolder locked("locked");
    ASSERT_EQ(chdir("locked"), 0);
    // Whatever its length was, the file ends up as the ten bytes.
    for (const std::string earlier : {"4 1,3,1,0,", "2 5", "4 1,3,1,0,\r\n# notes\r\n"}) {
        locked.Put("Quillmar.aon", earlier, 0640);
        const ino_t inode = Inode("Quillmar.aon");
        EXPECT_TRUE(WriteSettingsFile({8, {6, 3, 1, 0}})) << earlier;
        EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "8 6,3,1,0,") << earlier;
        EXPECT_EQ(Inode("Quillmar.aon"), inode) << "written in place, not replaced";
        struct stat st {};
        ASSERT_EQ(stat("Quillmar.aon", &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        EXPECT_EQ(locked.Entries(), 1u) << "nothing left beside it";
    }
    // Read-only there as well: refused, untouched.
    locked.Put("Quillmar.aon", "4 1,3,1,0,", 0444);
    EXPECT_FALSE(WriteSettingsFile({8, {}}));
    EXPECT_EQ(ReadFileBytes("Quillmar.aon"), "4 1,3,1,0,");
    ASSERT_EQ(chdir(".."), 0);

    // Through a link into such a folder: the file it leads to, in place.
    locked.Put("settings", "0 1,3,1,0,", 0644);
    fs::create_symlink("locked/settings", "Quillmar.aon");
    EXPECT_TRUE(WriteSettingsFile({3, {}}));
    EXPECT_TRUE(fs::is_symlink("Quillmar.aon"));
    EXPECT_EQ(ReadFileBytes("locked/settings"), "3 1,3,1,0,");
}

TEST(SettingsFile, ADanglingLinkHasItsTargetCreated) {
    TempWorkDir dir;
    fs::create_directory("keep");
    fs::create_symlink("keep/settings", "Quillmar.aon");
    EXPECT_TRUE(WriteSettingsFile({5, {}}));
    EXPECT_TRUE(fs::is_symlink("Quillmar.aon"));
    EXPECT_EQ(fs::read_symlink("Quillmar.aon"), "keep/settings");
    EXPECT_EQ(ReadFileBytes("keep/settings"), "5 1,3,1,0,");
    EXPECT_EQ(std::distance(fs::directory_iterator("keep"), fs::directory_iterator()), 1);

    // A link to a dangling link: the end of the chain, relative to each link.
    fs::remove("Quillmar.aon");
    fs::create_symlink("../keep/last", "keep/middle");
    fs::create_directory("links");
    fs::create_symlink(fs::absolute("links/first"), "Quillmar.aon");
    fs::create_symlink("../keep/middle", "links/first");
    EXPECT_TRUE(WriteSettingsFile({6, {}}));
    EXPECT_EQ(ReadFileBytes("keep/last"), "6 1,3,1,0,");
    EXPECT_TRUE(fs::is_symlink("keep/middle"));
    EXPECT_TRUE(fs::is_symlink("links/first"));

    // Leading into a folder that is not there: nothing to write to.
    fs::remove("Quillmar.aon");
    fs::create_symlink("gone/settings", "Quillmar.aon");
    EXPECT_FALSE(WriteSettingsFile({7, {}}));
    EXPECT_TRUE(fs::is_symlink("Quillmar.aon"));
    EXPECT_FALSE(fs::exists("gone"));
    // A loop of links leads nowhere either.
    fs::remove("Quillmar.aon");
    fs::create_symlink("Quillmar.aon", "Quillmar.aon");
    EXPECT_FALSE(WriteSettingsFile({7, {}}));
    EXPECT_TRUE(fs::is_symlink("Quillmar.aon"));
}

TEST(SettingsFile, ThroughALinkTheFileItLeadsToIsReplaced) {
    TempWorkDir dir;
    fs::create_directory("keep");
    WriteFileBytes("keep/settings", "0 1,3,1,0,");
    fs::create_symlink("keep/settings", "Quillmar.aon");
    EXPECT_TRUE(WriteSettingsFile({5, {}}));
    EXPECT_TRUE(fs::is_symlink("Quillmar.aon"));
    EXPECT_EQ(ReadFileBytes("keep/settings"), "5 1,3,1,0,");
    EXPECT_EQ(std::distance(fs::directory_iterator("keep"), fs::directory_iterator()), 1);
}

} // namespace
