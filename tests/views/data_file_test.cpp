// Sure.bmp and its kind: the working directory first, then the installed copy.
#include <QDir>
#include <gtest/gtest.h>

#include "data_file.h"
#include "test_support.h"

namespace {

TEST(DataFile, TheWorkingDirectoryFirstThenTheInstalledCopy) {
    TempWorkDir dir;
    // An installed tree: <prefix>/bin and <prefix>/share/gps-quillmar.
    const QString prefix = QString::fromStdString(dir.path()) + QStringLiteral("/usr");
    ASSERT_TRUE(QDir().mkpath(prefix + QStringLiteral("/bin")));
    ASSERT_TRUE(QDir().mkpath(prefix + QStringLiteral("/share/gps-quillmar")));
    const QString bin = prefix + QStringLiteral("/bin");
    const QString sure = QStringLiteral("Sure.bmp");

    // Nowhere: the bare name, so that loading fails as it always did.
    EXPECT_EQ(DataFilePath(sure, bin), sure);

    WriteFileBytes(dir.path() + "/usr/share/gps-quillmar/Sure.bmp", "installed");
    EXPECT_EQ(DataFilePath(sure, bin), prefix + QStringLiteral("/share/gps-quillmar/Sure.bmp"));
    // A program run from elsewhere (the build tree) has no installed copy.
    EXPECT_EQ(DataFilePath(sure, QString::fromStdString(dir.path())), sure);

    // The user's own copy in the working directory wins.
    WriteFileBytes("Sure.bmp", "the user's");
    EXPECT_EQ(DataFilePath(sure, bin), sure);
}

} // namespace
