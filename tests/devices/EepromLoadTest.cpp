#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "DiagCapture.h"
#include "devices/Vexapic.h"
#include "support/BoardFixture.h"
#include "support/TestFiles.h"

namespace {

using Texts = std::vector<std::string>;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

constexpr uint8_t Untouched = 0xEE;

std::vector<uint8_t> Image(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 1 + (i >> 9));
    return bytes;
}

// The EEPROM must hold image[0, count) at `at` and the filler everywhere else.
void ExpectLoaded(const TVexaPIC& pic, const std::vector<uint8_t>& image, long long at, long long count) {
    long long wrong = 0, first = -1;
    for (long long i = 0; i < TVexaPIC::EepromSize; ++i) {
        const bool inside = i >= at && i < at + count;
        const uint8_t want = inside ? image[static_cast<size_t>(i - at)] : Untouched;
        if (pic.Eeprom[i] != want && wrong++ == 0) first = i;
    }
    EXPECT_EQ(wrong, 0) << "first wrong byte at 0x" << std::hex << first;
    // The fields behind the array would be the first victims of a copy that
    // runs past it.
    EXPECT_FALSE(pic.LastClock);
    EXPECT_EQ(pic.BitCount, 0);
    EXPECT_EQ(pic.State, TVexaPIC::WaitPreamble);
    EXPECT_EQ(pic.Value, 0);
    EXPECT_EQ(pic.BurstAddress, 0);
    EXPECT_EQ(pic.Remaining, 0);
}

struct LoadCase {
    const char* name;
    int offset;
    size_t size;
    long long loadedAt, loadedCount;
    std::string message; // %s stands for the path; empty when nothing is said
};

TEST(EepromLoad, NothingIsEverStoredOutsideTheEeprom) {
    const LoadCase cases[] = {
        {"fits at 0", 0, 16, 0, 16, ""},
        {"ends exactly at the end", 0x7FFF0, 16, 0x7FFF0, 16, ""},
        {"whole EEPROM", 0, 0x80000, 0, 0x80000, ""},
        {"cut at the end", 0x7FFF8, 16, 0x7FFF8, 8,
         "EEPROM image %s cut: 8 of 16 bytes loaded at 0x7fff8, the last 8 bytes run past the end of the "
         "EEPROM"},
        {"larger than the EEPROM", 0, 0x80010, 0, 0x80000,
         "EEPROM image %s cut: 524288 of 524304 bytes loaded at 0x00000, the last 16 bytes run past the end "
         "of the "
         "EEPROM"},
        {"unparsable offset", -1, 16, 0, 0,
         "EEPROM image %s not loaded: offset -1 is not an EEPROM address, 16 bytes skipped"},
        {"most negative offset", INT_MIN, 3, 0, 0,
         "EEPROM image %s not loaded: offset -2147483648 is not an EEPROM address, 3 bytes skipped"},
        {"offset just past the end", 0x80000, 4, 0, 0,
         "EEPROM image %s not loaded: offset 0x80000 is past the end of the EEPROM, 4 bytes skipped"},
        {"offset far past the end", INT_MAX, 4, 0, 0,
         "EEPROM image %s not loaded: offset 0x7fffffff is past the end of the EEPROM, 4 bytes skipped"},
        {"empty file", 0x100, 0, 0, 0, ""},
        {"empty file at the last byte", 0x7FFFF, 0, 0, 0, ""},
        {"empty file, bad offset", -1, 0, 0, 0,
         "EEPROM image %s not loaded: offset -1 is not an EEPROM address, 0 bytes skipped"},
    };
    TempDir dir;
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = (dir / "image.bin").string();
        const std::vector<uint8_t> image = Image(c.size);
        WriteFileBytes(path, image);

        DiagCapture diag{DIAG_PIC};
        auto pic = std::make_unique<TVexaPIC>(&diag.channel);
        std::memset(pic->Eeprom, Untouched, sizeof pic->Eeprom);
        pic->LoadEeprom(image, image.size(), c.offset, path);

        ExpectLoaded(*pic, image, c.loadedAt, c.loadedCount);
        Texts expected;
        if (!c.message.empty()) {
            std::string text = c.message;
            text.replace(text.find("%s"), 2, path);
            expected.push_back(text);
        }
        EXPECT_EQ(diag.Take(), expected);
    }
}

// A path that names no file gets the warning box; a file that cannot be read
// loads nothing and says so.
TEST(EepromLoad, UnreadablePathsLoadNothingAndSaySo) {
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    WriteFileBytes(dir / "locked.bin", Image(32));
    std::filesystem::permissions(dir / "locked.bin", std::filesystem::perms::none);
    const bool canReadLocked = ::access((dir / "locked.bin").c_str(), R_OK) == 0; // root reads anything

    for (const char* name : {"folder", "missing.bin", "locked.bin"}) {
        SCOPED_TRACE(name);
        const bool locked = std::string(name) == "locked.bin";
        if (locked && canReadLocked) continue;
        const std::string path = (dir / name).string();
        BoardFixture f({0x76}, "bootrom rom.bin\neeprom 10 " + path + "\n");
        DiagCapture diag{DIAG_PIC};
        f.machine().Diag().Connect(&diag.log);
        f.host().boxes.clear();
        std::memset(f.board().Pic()->Eeprom, Untouched, sizeof f.board().Pic()->Eeprom);
        f.machine().ColdBoot();
        ExpectLoaded(*f.board().Pic(), {}, 0, 0);
        if (locked) {
            EXPECT_TRUE(f.host().boxes.empty());
            EXPECT_EQ(diag.Take(), Texts{"EEPROM image " + path + " cannot be read: nothing loaded"});
        } else {
            ASSERT_EQ(f.host().boxes.size(), 1u);
            EXPECT_EQ(f.host().boxes[0].text, "EEPROM file not found, skipping");
        }
        f.machine().Diag().Connect(nullptr);
    }
}

TEST(EepromLoad, LaterImagesOverwriteOnlyTheirOwnRange) {
    const std::vector<uint8_t> a(8, 0xAA), b(4, 0xBB);
    TVexaPIC pic;
    pic.LoadEeprom(a, a.size(), 0x100, "a.bin");
    pic.LoadEeprom(b, b.size(), 0x102, "b.bin");
    const uint8_t expected[] = {0, 0xAA, 0xAA, 0xBB, 0xBB, 0xBB, 0xBB, 0xAA, 0xAA, 0};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(pic.Eeprom[0xFF + i], expected[i]) << i;
}

// The board loads the image on every cold boot. The first one runs inside the
// constructor, before any sink exists, so what it says is seen from the
// second cold boot on.
TEST(EepromLoad, ColdBootLoadsConfiguredImagesAndReportsWhatDidNotFit) {
    TempDir images;
    const std::string path = (images / "data.bin").string();
    const std::vector<uint8_t> image = Image(16);
    WriteFileBytes(path, image);
    BoardFixture machine({0x76}, "bootrom rom.bin\neeprom 7FFF8 " + path + "\neeprom 0x10 " + path +
                                     "\neeprom 20 " + path + "\n");
    TVexaBoard& board = machine.board();
    TVexaPIC& pic = *board.Pic();
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(pic.Eeprom[0x7FFF8 + i], image[static_cast<size_t>(i)]);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(pic.Eeprom[0x20 + i], image[static_cast<size_t>(i)]);
    EXPECT_EQ(pic.Eeprom[0x10], 0);

    DiagCapture diag{DIAG_PIC};
    machine.machine().Diag().Connect(&diag.log);
    // A burst left running stops at the cold boot, and the EEPROM is reloaded.
    for (uint8_t b : {0x88, 0xC9}) {
        for (int i = 7; i >= 0; --i) {
            board.OutPort(0x0D, static_cast<uint8_t>((b >> i) & 1));
            board.OutPort(0x0D, static_cast<uint8_t>(((b >> i) & 1) | 2));
        }
    }
    EXPECT_EQ(pic.State, TVexaPIC::Burst);
    pic.Eeprom[0x7FFF8] = 0;
    diag.Take();

    machine.machine().ColdBoot();
    EXPECT_EQ(pic.State, TVexaPIC::WaitPreamble);
    EXPECT_EQ(pic.Eeprom[0x7FFF8], image[0]);
    EXPECT_EQ(
        diag.Take(),
        (Texts{"EEPROM image " + path +
                   " cut: 8 of 16 bytes loaded at 0x7fff8, the last 8 bytes run past the end of the EEPROM",
               "EEPROM image " + path +
                   " not loaded: offset -1 is not an EEPROM address, 16 bytes skipped"}));
    EXPECT_TRUE(machine.host().boxes.empty());
}

} // namespace
