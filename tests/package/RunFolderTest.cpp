// The run folder vexa picks and fills: whatever subset of the files a user's
// folder already holds, filling adds exactly the missing ones and never
// touches the others; the folder rules follow the XDG base directories.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "app/RunFolder.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

TEST(RunFolder, FillingAddsOnlyWhatIsMissingWhateverIsThere) {
    TempDir bundled;
    for (const char* name : kRunFolderFiles) WriteFileText(bundled / name, std::string("bundled ") + name);
    for (unsigned present = 0; present < 16; ++present) {
        TempDir home;
        const fs::path folder = home / "share" / "vexa";
        fs::create_directories(folder);
        for (unsigned i = 0; i < 4; ++i)
            if (present & (1u << i)) WriteFileText(folder / kRunFolderFiles[i], "the user's own");
        std::string error;
        ASSERT_TRUE(FillRunFolder(folder, bundled.Path(), &error)) << error;
        for (unsigned i = 0; i < 4; ++i) {
            const std::string want = (present & (1u << i)) ? "the user's own" : std::string("bundled ") + kRunFolderFiles[i];
            EXPECT_EQ(ReadFileText(folder / kRunFolderFiles[i]), want) << kRunFolderFiles[i] << ", subset " << present;
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 4) << "stray files";
    }
}

TEST(RunFolder, FailuresAreReportedNotHidden) {
    TempDir bundled, home;
    std::string error;
    EXPECT_FALSE(FillRunFolder(home / "vexa", bundled.Path(), &error)) << "an empty bundle filled nothing";
    EXPECT_NE(error.find("config.txt"), std::string::npos) << error;

    for (const char* name : kRunFolderFiles) WriteFileText(bundled / name, name);
    WriteFileText(home / "file", "not a folder");
    error.clear();
    EXPECT_FALSE(FillRunFolder(home / "file" / "vexa", bundled.Path(), &error));
    EXPECT_FALSE(error.empty());
    if (::geteuid() != 0) { // root writes anywhere
        fs::create_directories(home / "locked");
        ::chmod((home / "locked").c_str(), 0500);
        error.clear();
        EXPECT_FALSE(FillRunFolder(home / "locked", bundled.Path(), &error));
        EXPECT_NE(error.find("Cannot write"), std::string::npos) << error;
        ::chmod((home / "locked").c_str(), 0700);
    }
}

TEST(RunFolder, WhichFolderFollowsTheCommandLineTheCurrentFolderAndXdg) {
    EXPECT_EQ(UserRunFolder("/data", "/home/u"), fs::path("/data/vexa"));
    EXPECT_EQ(UserRunFolder("relative", "/home/u"), fs::path("/home/u/.local/share/vexa")); // ignored, as XDG says
    EXPECT_EQ(UserRunFolder("", "/home/u"), fs::path("/home/u/.local/share/vexa"));
    EXPECT_EQ(UserRunFolder(nullptr, nullptr), fs::path());
    EXPECT_EQ(BundledFolder("/usr/bin"), fs::path("/usr/share/vexa"));

    TempDir dir;
    const fs::path user = dir / "user";
    RunFolderChoice c = ChooseRunFolder(std::nullopt, dir.Path(), user);
    EXPECT_EQ(c.folder, user); // started from the menu: no config.txt here
    EXPECT_TRUE(c.fill);
    WriteFileText(dir / "config.txt", "bootrom boot.rom\n");
    c = ChooseRunFolder(std::nullopt, dir.Path(), user);
    EXPECT_EQ(c.folder, dir.Path()); // scripts run in a folder they prepared
    EXPECT_FALSE(c.fill);
    c = ChooseRunFolder(dir / "new", dir.Path(), user);
    EXPECT_EQ(c.folder, dir / "new"); // the command line wins; a new folder is filled
    EXPECT_TRUE(c.fill);
    c = ChooseRunFolder(dir.Path(), "/", user);
    EXPECT_FALSE(c.fill); // an existing folder is the user's business
    fs::remove(dir / "config.txt");
    EXPECT_EQ(ChooseRunFolder(std::nullopt, dir.Path(), fs::path()).folder, dir.Path()); // no HOME at all
}

} // namespace
