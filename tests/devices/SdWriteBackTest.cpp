// Writing the card image back to its file: whole or not at all, never a
// failure reported as success, and the board's questions around it.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <random>
#include <sys/stat.h>

#include "IoTestSupport.h"
#include "devices/Vexasdmmccard.h"
#include "support/BoardFixture.h"

using io_test::Pattern;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using testing_support::WriteFileText;
namespace fs = std::filesystem;

namespace {

// Writes one block through the SPI port as a program would.
void WriteBlock(TVexaSDCard& card, uint32_t address, const std::vector<uint8_t>& data) {
    const uint8_t frame[] = {0x58,
                             static_cast<uint8_t>(address >> 24),
                             static_cast<uint8_t>(address >> 16),
                             static_cast<uint8_t>(address >> 8),
                             static_cast<uint8_t>(address),
                             0xFF,
                             0xFE};
    for (uint8_t b : frame)
        card.WriteSpi(b);
    for (uint8_t b : data)
        card.WriteSpi(b);
}

std::vector<uint8_t> WithBlock(std::vector<uint8_t> image, uint32_t address,
                               const std::vector<uint8_t>& data) {
    if (image.size() < address + data.size()) image.resize(address + data.size(), 0);
    std::copy(data.begin(), data.end(), image.begin() + address);
    return image;
}

// Names of the files in a folder.
std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Makes the image's folder unusable: it becomes a regular file. Running as
// root, permissions alone would not stop a write.
void BreakFolder(const fs::path& folder) {
    fs::remove_all(folder);
    WriteFileText(folder, "not a folder");
}

} // namespace

namespace {

constexpr char kQuitQuestionStart[] =
    "There are writes to the SD Card which have not\ryet been committed to disk. "
    "Should these be\rwritten before quitting?";
constexpr char kResetQuestionStart[] =
    "There are writes to the SD Card which have not\ryet been committed to disk. "
    "Should these be\rwritten before a reset is performed?";

// A board whose card image lives in a folder of its own, which a test can
// take away.
struct WriteBackBoard {
    explicit WriteBackBoard(const std::string& flags)
        : image(Pattern(0x800, 7)), f(io_test::Program("kbd_echo"), Config(flags)), machine(f.machine()),
          board(f.board()) {}

    std::string Config(const std::string& flags) {
        WriteFileBytes(ImagePath(), image);
        return "bootrom rom.bin\nsdcard 0 " + ImagePath().string() + " " + flags + "\n";
    }
    TVexaSDCard& Card() { return *board.SdCard(); }
    fs::path ImagePath() const { return cards / "card.img"; }
    std::vector<uint8_t> OnDisk() const { return ReadFileBytes(ImagePath()); }
    const std::vector<FakeHost::Box>& Boxes() { return f.host().boxes; }
    std::deque<MsgAnswer>& Answers() { return f.host().answers; }
    // Brings the folder back, empty.
    void RestoreFolder() {
        fs::remove(cards.Path());
        fs::create_directory(cards.Path());
    }

    TempDir cards;
    std::vector<uint8_t> image;
    BoardFixture f;
    Machine& machine;
    TVexaBoard& board;
};

bool StartsWith(const std::string& text, const std::string& start) {
    return text.rfind(start, 0) == 0;
}

} // namespace

TEST(SdCommit, ReplacesFileWholeAndKeepsItsMode) {
    WriteBackBoard b("writeenable nowriteprompt");
    fs::permissions(b.ImagePath(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::vector<uint8_t> data = Pattern(512, 2);
    WriteBlock(b.Card(), 0x1000, data); // grows the image
    ASSERT_TRUE(b.Card().HasUncommittedWrites());
    EXPECT_TRUE(b.machine.QueryClose());
    EXPECT_FALSE(b.Card().HasUncommittedWrites());
    EXPECT_EQ(b.OnDisk(), WithBlock(b.image, 0x1000, data));
    EXPECT_EQ(Listing(b.cards.Path()), (std::vector<std::string>{"card.img"})) << "no temporary file left";
    EXPECT_EQ(fs::status(b.ImagePath()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// The file behind a link is replaced; the link stays a link. The link is
// named in config.txt relative to the machine's folder.
TEST(SdCommit, ThroughSymbolicLink) {
    TempDir store;
    const std::vector<uint8_t> image = Pattern(0x400, 3);
    WriteFileBytes(store / "real.img", image);
    BoardFixture f(io_test::Program("kbd_echo"), "bootrom rom.bin\nsdcard 0 card.img writeenable nowriteprompt\n");
    fs::create_symlink(store / "real.img", f.dir() / "card.img");
    f.machine().ColdBoot();
    ASSERT_EQ(f.board().SdCard()->Image(), image);
    const std::vector<uint8_t> data = Pattern(512, 4);
    WriteBlock(*f.board().SdCard(), 0x200, data);
    ASSERT_TRUE(f.machine().QueryClose());
    EXPECT_TRUE(fs::is_symlink(f.dir() / "card.img"));
    EXPECT_EQ(ReadFileBytes(store / "real.img"), WithBlock(image, 0x200, data));
}

// A write that cannot happen says why, keeps the writes pending and leaves
// whatever was at the path as it was; once the path is usable again the same
// writes reach the disk.
TEST(SdCommit, FailuresKeepWritesAndOldFile) {
    WriteBackBoard b("writeenable nowriteprompt");
    WriteBlock(b.Card(), 0, Pattern(512, 6));
    const fs::path path = b.ImagePath();

    // The image's path is now a folder: the rename over it fails.
    fs::remove(path);
    fs::create_directory(path);
    WriteFileText(path / "inside", "kept");
    EXPECT_FALSE(b.machine.QueryClose());
    EXPECT_TRUE(b.Card().HasUncommittedWrites());
    ASSERT_EQ(b.Boxes().size(), 1u);
    EXPECT_NE(b.Boxes()[0].text.find("cannot replace " + path.string()), std::string::npos) << b.Boxes()[0].text;
    EXPECT_EQ(Listing(b.cards.Path()), (std::vector<std::string>{"card.img"})) << "no temporary file left";
    EXPECT_EQ(Listing(path), (std::vector<std::string>{"inside"}));

    // The folder is gone and a file has taken its name.
    BreakFolder(b.cards.Path());
    b.Answers() = {MsgAnswer::Yes, MsgAnswer::Yes};
    EXPECT_FALSE(b.machine.QueryClose());
    EXPECT_TRUE(b.Card().HasUncommittedWrites());
    ASSERT_EQ(b.Boxes().size(), 3u); // the question, then the failure
    EXPECT_NE(b.Boxes()[2].text.find(b.cards.Path().string()), std::string::npos) << b.Boxes()[2].text;

    // Once the folder is back the same writes reach the disk.
    b.RestoreFolder();
    EXPECT_TRUE(b.machine.QueryClose());
    EXPECT_FALSE(b.Card().HasUncommittedWrites());
    EXPECT_EQ(b.OnDisk(), b.Card().Image());
}

TEST(SdWriteBack, NoWritePromptSavesWithoutAsking) {
    WriteBackBoard b("writeenable nowriteprompt");
    const std::vector<uint8_t> data = Pattern(512, 8);
    WriteBlock(b.Card(), 0x400, data);
    EXPECT_TRUE(b.machine.QueryClose());
    EXPECT_TRUE(b.Boxes().empty());
    EXPECT_EQ(b.OnDisk(), WithBlock(b.image, 0x400, data));
}

TEST(SdWriteBack, QuestionAnswersAtClose) {
    WriteBackBoard b("writeenable");
    const std::vector<uint8_t> data = Pattern(512, 9);
    WriteBlock(b.Card(), 0, data);
    b.Answers() = {MsgAnswer::Cancel, MsgAnswer::Yes};
    EXPECT_FALSE(b.machine.QueryClose());
    EXPECT_EQ(b.OnDisk(), b.image);
    EXPECT_TRUE(b.Card().HasUncommittedWrites());
    EXPECT_TRUE(b.machine.QueryClose());
    ASSERT_EQ(b.Boxes().size(), 2u);
    EXPECT_TRUE(StartsWith(b.Boxes()[0].text, kQuitQuestionStart));
    EXPECT_EQ(b.Boxes()[0].caption, "Unwritten SD Card Changes");
    EXPECT_EQ(b.Boxes()[0].buttons, MsgButtons::YesNoCancel);
    EXPECT_EQ(b.OnDisk(), WithBlock(b.image, 0, data));
    EXPECT_TRUE(b.machine.QueryClose()); // nothing left to ask about
    EXPECT_EQ(b.Boxes().size(), 2u);
}

// Without "writeenable" the file is never written and nothing is asked.
TEST(SdWriteBack, WithoutWriteEnableNothingIsWritten) {
    WriteBackBoard b("nowriteprompt");
    WriteBlock(b.Card(), 0, Pattern(512, 10));
    EXPECT_TRUE(b.machine.QueryClose());
    b.machine.ColdBoot();
    EXPECT_TRUE(b.Boxes().empty());
    EXPECT_EQ(b.OnDisk(), b.image);
    EXPECT_EQ(b.Card().Image(), b.image) << "the cold boot reloads the file";
}

// A save that fails at close says so, keeps the writes and refuses the
// close; the next close asks again even under "nowriteprompt", so that the
// user can choose to discard them.
TEST(SdWriteBack, FailedSaveAtCloseKeepsWritesAndAsksAgain) {
    WriteBackBoard b("writeenable nowriteprompt");
    WriteBlock(b.Card(), 0x200, Pattern(512, 11));
    const std::vector<uint8_t> held = b.Card().Image();
    BreakFolder(b.cards.Path());

    EXPECT_FALSE(b.machine.QueryClose());
    ASSERT_EQ(b.Boxes().size(), 1u);
    EXPECT_EQ(b.Boxes()[0].caption, "SD Card Write Failed");
    EXPECT_EQ(b.Boxes()[0].icon, MsgIcon::Error);
    EXPECT_NE(b.Boxes()[0].text.find(b.ImagePath().string()), std::string::npos) << b.Boxes()[0].text;
    EXPECT_TRUE(b.Card().HasUncommittedWrites());
    EXPECT_EQ(b.Card().Image(), held);

    b.Answers() = {MsgAnswer::Yes, MsgAnswer::No};
    EXPECT_FALSE(b.machine.QueryClose()); // asked, Yes, failed again
    EXPECT_TRUE(b.machine.QueryClose());  // asked, No: discard and close
    ASSERT_EQ(b.Boxes().size(), 4u);
    EXPECT_TRUE(StartsWith(b.Boxes()[1].text, kQuitQuestionStart));
    EXPECT_EQ(b.Boxes()[2].caption, "SD Card Write Failed");
    EXPECT_TRUE(StartsWith(b.Boxes()[3].text, kQuitQuestionStart));
}

// At a cold boot a failed save abandons the reset: memory, processor and
// card stay as they were. Once the folder is back, the save succeeds and the
// reset goes ahead.
TEST(SdWriteBack, FailedSaveAbandonsColdBoot) {
    WriteBackBoard b("writeenable nowriteprompt");
    const std::vector<uint8_t> data = Pattern(512, 12);
    io_test::RunFor(b.board, 5000);
    WriteBlock(b.Card(), 0x600, data);
    b.board.MainRam()[0x9000] = 0x77;
    const uint32_t pc = b.board.Regs.PC;
    BreakFolder(b.cards.Path());

    b.machine.ColdBoot();
    ASSERT_EQ(b.Boxes().size(), 1u);
    EXPECT_EQ(b.Boxes()[0].caption, "SD Card Write Failed");
    EXPECT_EQ(b.board.MainRam()[0x9000], 0x77);
    EXPECT_EQ(b.board.Regs.PC, pc);
    EXPECT_EQ(b.board.sys_irq_enable(), 0x81);
    EXPECT_TRUE(b.Card().HasUncommittedWrites());

    b.RestoreFolder();
    b.Answers() = {MsgAnswer::Yes};
    b.machine.ColdBoot();
    ASSERT_EQ(b.Boxes().size(), 2u);
    EXPECT_TRUE(StartsWith(b.Boxes()[1].text, kResetQuestionStart));
    EXPECT_EQ(b.board.MainRam()[0x9000], 0);
    EXPECT_EQ(b.OnDisk(), WithBlock(b.image, 0x600, data));
    EXPECT_EQ(b.Card().Image(), WithBlock(b.image, 0x600, data)) << "reloaded from the saved file";
    EXPECT_FALSE(b.Card().HasUncommittedWrites());

    // Saving works again, so "nowriteprompt" goes back to not asking.
    WriteBlock(b.Card(), 0, data);
    b.machine.ColdBoot();
    EXPECT_EQ(b.Boxes().size(), 2u);
    EXPECT_EQ(b.OnDisk(), WithBlock(WithBlock(b.image, 0x600, data), 0, data));
}

// A cold boot whose image has disappeared keeps the card it had (with a
// warning); one whose image is now a folder leaves no card.
TEST(SdWriteBack, ImageGoneAtColdBoot) {
    WriteBackBoard b("");
    fs::remove_all(b.cards.Path());
    b.machine.ColdBoot();
    ASSERT_EQ(b.Boxes().size(), 1u);
    EXPECT_EQ(b.Boxes()[0].text, "SDCARD image not found, skipping");
    EXPECT_EQ(b.Card().Image(), b.image);
    EXPECT_TRUE(b.Card().HasImage());
}
