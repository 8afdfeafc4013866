// The SD card on its own: command frames in, response bytes out, the image in
// memory; and the machine loading it from its file.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

#include "IoTestSupport.h"
#include "devices/Vexasdmmccard.h"
#include "support/BoardFixture.h"

using io_test::Pattern;
using io_test::RecordingSink;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
namespace fs = std::filesystem;

namespace {

void Command(TVexaSDCard& card, uint8_t index, uint32_t argument) {
    card.WriteSpi(0xFF); // fill bytes before a frame are ignored
    card.WriteSpi(static_cast<uint8_t>(0x40 | index));
    for (int shift = 24; shift >= 0; shift -= 8)
        card.WriteSpi(static_cast<uint8_t>(argument >> shift));
    card.WriteSpi(0x95);
}

std::vector<uint8_t> Read(TVexaSDCard& card, size_t count) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < count; ++i)
        out.push_back(card.ReadSpi());
    return out;
}

// A card holding an image of the given bytes.
struct LoadedCard {
    explicit LoadedCard(const std::vector<uint8_t>& bytes, DiagChannel* diag = nullptr) : card(diag) {
        card.InsertImage(bytes);
    }
    TVexaSDCard card;
};

// CMD24, the start token and a block; returns what the card answered.
std::vector<uint8_t> WriteBlock(TVexaSDCard& card, uint32_t address, const std::vector<uint8_t>& data) {
    Command(card, 24, address);
    for (uint8_t b : {0xFF, 0xFF, 0xFE})
        card.WriteSpi(b);
    for (uint8_t b : data)
        card.WriteSpi(b);
    card.WriteSpi(0xFF); // CRC, ignored
    card.WriteSpi(0xFF);
    return Read(card, 4);
}

std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(SdCard, GoIdleAndUnsupportedCommands) {
    RecordingSink sink;
    TVexaSDCard card(&sink.channel);
    Command(card, 55, 0); // left unread: CMD0 empties the queue first
    Command(card, 0, 0);  // an application command: resets nothing
    Command(card, 0, 0);
    EXPECT_EQ(Read(card, 4), (std::vector<uint8_t>{0xFF, 0x01, 0x00, 0x00}));
    Command(card, 8, 0x1AA);
    EXPECT_EQ(Read(card, 2), (std::vector<uint8_t>{0x00, 0x00}));
    EXPECT_EQ(sink.Texts(DIAG_SD_MMC),
              (std::vector<std::string>{"CMD55_APP_CMD", "Unsupported AppCmd: 0x00", "CMD0_GO_IDLE_STATE",
                                        "Unsupported Cmd: 0x08"}));
}

// CMD55 makes the next command an application command, whatever it is: CMD0
// after it resets nothing.
TEST(SdCard, ApplicationCommands) {
    RecordingSink sink;
    TVexaSDCard card(&sink.channel);
    Command(card, 55, 0);
    Command(card, 41, 0x40000000);
    EXPECT_EQ(Read(card, 5), (std::vector<uint8_t>{0xFF, 0x00, 0xFF, 0x00, 0x00}));
    Command(card, 55, 0);
    Command(card, 1, 0);
    Command(card, 41, 0); // no longer an application command
    EXPECT_EQ(Read(card, 3), (std::vector<uint8_t>{0xFF, 0x00, 0x00}));
    EXPECT_EQ(sink.Texts(DIAG_SD_MMC),
              (std::vector<std::string>{"CMD55_APP_CMD", "Processing ACMD41_SEND_OP_COND", "CMD55_APP_CMD",
                                        "Unsupported AppCmd: 0x01", "Unsupported Cmd: 0x29"}));
}

TEST(SdCard, CsdReportsCapacityFromImageSize) {
    const std::vector<uint8_t> head{0xFF, 0x00, 0xFE, 0x00, 0x0E, 0x00, 0x32, 0x5D, 0x59};
    const std::vector<uint8_t> tail{0x03, 0x80, 0x00, 0x02, 0x40, 0x00, 0x01, 0xFF, 0xFF};
    struct Case {
        uint64_t size;
        std::vector<uint8_t> b678;
    } cases[] = {
        {64ull << 20, {0x00, 0x40, 0x00}},     // c = 256
        {3 * 0x40000 + 5, {0x00, 0x00, 0xC0}}, // c = 3, odd size
        {0, {0x00, 0x00, 0x00}},               // empty image
    };
    for (const Case& c : cases) {
        TVexaSDCard card;
        card.InsertImage(std::vector<uint8_t>(c.size));
        Command(card, 9, 0);
        EXPECT_EQ(Read(card, 22), Cat(Cat(Cat(head, c.b678), tail), {0x00})) << "size " << c.size;
    }
    TVexaSDCard none;
    Command(none, 9, 0);
    EXPECT_EQ(Read(none, 21), Cat(Cat(head, {0, 0, 0}), tail));
}

// C_SIZE has 12 bits: an image that writes have grown to 1 GB less one unit
// reports that exactly, and one of 1 GB the same largest standard-capacity
// card instead of wrapping to 256 KB. (The largest write allowed ends at 1 GB.)
TEST(SdCard, CsdSizeStopsAtTheLargestStandardCard) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a gigabyte of zeros teaches a sanitizer nothing; the plain build checks the limit";
#endif
    LoadedCard c(std::vector<uint8_t>(512, 0x11));
    const std::vector<uint8_t> largest{0x03, 0xFF, 0xC0};
    for (const uint64_t units : {4095ull, 4096ull}) {
        const uint32_t end = static_cast<uint32_t>(units * TVexaSDCard::CsdSizeUnit - 1);
        EXPECT_EQ(WriteBlock(c.card, end - 511, std::vector<uint8_t>(512, 0x22)),
                  (std::vector<uint8_t>{0xFF, 0x00, 0x04, 0xFF}));
        ASSERT_EQ(c.card.Image().size(), units * TVexaSDCard::CsdSizeUnit);
        Command(c.card, 9, 0);
        const std::vector<uint8_t> csd = Read(c.card, 21);
        EXPECT_EQ(std::vector<uint8_t>(csd.begin() + 9, csd.begin() + 12), largest) << units << " units";
    }
}

TEST(SdCard, CidIdentifiesTheCard) {
    TVexaSDCard card;
    Command(card, 0, 0); // left unread: emptied first
    Command(card, 10, 0);
    EXPECT_EQ(Read(card, 22),
              (std::vector<uint8_t>{0xFF, 0x00, 0xFE, 0x02, 'V',  'X',  'C',  'A',  'R',  'D',  '1',
                                    0x10, 0x01, 0x23, 0x45, 0x67, 0xAC, 0x00, 0x01, 0xFF, 0xFF, 0x00}));
}

TEST(SdCard, ReadBlocks) {
    const std::vector<uint8_t> image = Pattern(0x300, 1); // one and a half blocks
    RecordingSink sink;
    LoadedCard c(image, &sink.channel);
    Command(c.card, 17, 0x200);
    // Past the end the last byte read is sent again.
    std::vector<uint8_t> expected{0x00, 0xFE};
    expected.insert(expected.end(), image.begin() + 0x200, image.end());
    expected.insert(expected.end(), 0x100, image.back());
    expected.insert(expected.end(), {0xFF, 0xFF, 0x00});
    EXPECT_EQ(Read(c.card, 517), expected);
    EXPECT_EQ(sink.Texts(DIAG_SD_MMC), (std::vector<std::string>{"CMD55_READ_SINGLE_BLOCK (0x00000200)"}));

    Command(c.card, 17, 0);
    EXPECT_EQ(Read(c.card, 516),
              Cat(Cat({0x00, 0xFE}, std::vector<uint8_t>(image.begin(), image.begin() + 512)), {0xFF, 0xFF}));
    // Wholly past the end: no byte was read, so zeros.
    Command(c.card, 17, 0xFFFFFE00);
    EXPECT_EQ(Read(c.card, 516), Cat(Cat({0x00, 0xFE}, std::vector<uint8_t>(512, 0)), {0xFF, 0xFF}));

    TVexaSDCard none;
    Command(none, 17, 0);
    EXPECT_EQ(Read(none, 3), (std::vector<uint8_t>{0x60, 0x00, 0x00}));
    // Nor can it be written: CMD24 answers nothing and the data goes nowhere.
    EXPECT_EQ(WriteBlock(none, 0, Pattern(512, 5)), (std::vector<uint8_t>(4, 0x00)));
    EXPECT_FALSE(none.HasUncommittedWrites());
    EXPECT_FALSE(none.TakeWriteLamp());
}

TEST(SdCard, WriteBlockChangesImageAndLamps) {
    const std::vector<uint8_t> image = Pattern(0x800, 2);
    RecordingSink sink;
    LoadedCard c(image, &sink.channel);
    const std::vector<uint8_t> data = Pattern(512, 3);
    EXPECT_FALSE(c.card.HasUncommittedWrites());
    EXPECT_EQ(WriteBlock(c.card, 0x200, data), (std::vector<uint8_t>{0xFF, 0x00, 0x04, 0xFF}));
    std::vector<uint8_t> expected = image;
    std::copy(data.begin(), data.end(), expected.begin() + 0x200);
    EXPECT_EQ(c.card.Image(), expected);
    EXPECT_TRUE(c.card.HasUncommittedWrites());
    EXPECT_EQ(sink.Texts(DIAG_SD_MMC),
              (std::vector<std::string>{"CMD24_WRITE_BLOCK (0x00000200)", "Write Start Token Received"}));
    EXPECT_TRUE(c.card.TakeWriteLamp());
    EXPECT_FALSE(c.card.TakeWriteLamp());
    EXPECT_TRUE(c.card.TakeReadLamp());
    EXPECT_FALSE(c.card.TakeReadLamp());

    // Read back through the card.
    Command(c.card, 17, 0x200);
    EXPECT_EQ(Read(c.card, 516), Cat(Cat({0x00, 0xFE}, data), {0xFF, 0xFF}));
}

// A token other than FF or FE after CMD24 abandons the write; the parser is
// idle again and takes the next command.
TEST(SdCard, BadTokenAfterWriteCommand) {
    const std::vector<uint8_t> image = Pattern(0x400, 4);
    RecordingSink sink;
    LoadedCard c(image, &sink.channel);
    Command(c.card, 24, 0);
    c.card.WriteSpi(0xFF);
    c.card.WriteSpi(0x00);
    for (int i = 0; i < 512; ++i)
        c.card.WriteSpi(0xAB); // not data: ignored as non-command bytes
    EXPECT_EQ(c.card.Image(), image);
    EXPECT_FALSE(c.card.HasUncommittedWrites());
    EXPECT_FALSE(c.card.TakeWriteLamp());
    EXPECT_EQ(Read(c.card, 3), (std::vector<uint8_t>{0xFF, 0x00, 0x00}));
    Command(c.card, 0, 0);
    EXPECT_EQ(Read(c.card, 2), (std::vector<uint8_t>{0xFF, 0x01}));
    EXPECT_EQ(sink.Texts(DIAG_SD_MMC)[1], "Non-$FF Token Received");
}

// A block written past the end grows the image, zero-filling the gap; one
// beyond the largest card the CSD can describe is refused with a write error.
TEST(SdCard, WritesPastTheEnd) {
    const std::vector<uint8_t> image = Pattern(0x300, 6);
    RecordingSink sink;
    LoadedCard c(image, &sink.channel);
    const std::vector<uint8_t> data = Pattern(512, 7);
    EXPECT_EQ(WriteBlock(c.card, 0x1000, data), (std::vector<uint8_t>{0xFF, 0x00, 0x04, 0xFF}));
    std::vector<uint8_t> expected = image;
    expected.resize(0x1000, 0);
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(c.card.Image(), expected);

    // Overlapping the end: the first part overwrites, the rest extends.
    EXPECT_EQ(WriteBlock(c.card, 0x1100, data), (std::vector<uint8_t>{0xFF, 0x00, 0x04, 0xFF}));
    std::copy(data.begin(), data.begin() + 0x100, expected.begin() + 0x1100);
    expected.insert(expected.end(), data.begin() + 0x100, data.end());
    EXPECT_EQ(c.card.Image(), expected);

    EXPECT_EQ(WriteBlock(c.card, 0xFFFFFE00, data), (std::vector<uint8_t>{0xFF, 0x00, 0x0D, 0xFF}));
    EXPECT_EQ(WriteBlock(c.card, TVexaSDCard::MaxGrownSize - 511, data),
              (std::vector<uint8_t>{0xFF, 0x00, 0x0D, 0xFF}));
    EXPECT_EQ(c.card.Image(), expected);
    const auto texts = sink.Texts(DIAG_SD_MMC);
    EXPECT_EQ(std::count_if(texts.begin(), texts.end(),
                            [](const std::string& t) {
                                return t.find("beyond the largest image") != std::string::npos;
                            }),
              2);
}

// Responses that are never read fill the ring; later bytes are dropped and
// the waiting ones stay intact. Random traffic keeps memory bounded.
TEST(SdCard, FloodedPortStaysBounded) {
    TVexaSDCard card;
    for (int i = 0; i < 600; ++i)
        Command(card, 55, 0), Command(card, 41, 0);
    std::vector<uint8_t> expected;
    for (int i = 0; i < 1023; ++i)
        expected.push_back(i % 2 ? 0x00 : 0xFF);
    expected.push_back(0x00); // then empty
    EXPECT_EQ(Read(card, 1024), expected);

    LoadedCard c(Pattern(0x10000, 8));
    std::mt19937 rng(9);
    for (int i = 0; i < 500000; ++i) {
        c.card.WriteSpi(static_cast<uint8_t>(rng()));
        if (i % 7 == 0) c.card.ReadSpi();
    }
    EXPECT_LE(c.card.Image().size(), TVexaSDCard::MaxGrownSize);
}

TEST(SdCard, SelectAndReset) {
    LoadedCard c(Pattern(0x400, 10));
    EXPECT_EQ(c.card.ReadSelect(), 0x0C);
    c.card.WriteSelect(0xF7);
    EXPECT_EQ(c.card.ReadSelect(), 0x04);
    c.card.WriteSelect(0x03);
    EXPECT_EQ(c.card.ReadSelect(), 0x00);
    c.card.WriteControl(0xFF); // no visible effect
    WriteBlock(c.card, 0, Pattern(512, 11));
    Command(c.card, 0, 0);
    Command(c.card, 24, 0); // left waiting for its token
    c.card.Reset();
    EXPECT_EQ(c.card.ReadSelect(), 0x0C);
    EXPECT_EQ(c.card.ReadSpi(), 0x00);
    EXPECT_FALSE(c.card.HasUncommittedWrites());
    EXPECT_FALSE(c.card.TakeReadLamp());
    EXPECT_FALSE(c.card.TakeWriteLamp());
    c.card.WriteSpi(0xFE);  // idle again: a token is just a byte
    Command(c.card, 17, 0); // and the image is still there
    EXPECT_EQ(Read(c.card, 2), (std::vector<uint8_t>{0x00, 0xFE}));
}

// A card whose image is gone answers a read with 0x60 and has nothing to
// commit; an empty image is an empty card.
TEST(SdCard, RemovedAndEmptyImages) {
    LoadedCard c(Pattern(0x400, 12));
    WriteBlock(c.card, 0, Pattern(512, 13));
    ASSERT_TRUE(c.card.HasUncommittedWrites());
    c.card.RemoveImage();
    EXPECT_FALSE(c.card.HasImage());
    EXPECT_FALSE(c.card.HasUncommittedWrites());
    Command(c.card, 17, 0);
    EXPECT_EQ(Read(c.card, 2), (std::vector<uint8_t>{0x60, 0x00}));
    c.card.InsertImage({});
    EXPECT_TRUE(c.card.HasImage());
    Command(c.card, 17, 0);
    EXPECT_EQ(Read(c.card, 3), (std::vector<uint8_t>{0x00, 0xFE, 0x00}));
}

// Several hundred megabytes load in one pass, costing their own size in
// memory and not a multiple of it.
TEST(SdCard, LargeImageLoadsInReasonableTimeAndMemory) {
    TempDir dir;
    const fs::path path = dir / "big.img";
    constexpr uint64_t size = 384ull << 20;
    WriteFileBytes(path, {0x5A});
    fs::resize_file(path, size);
    struct rusage before {
    }, after{};
    getrusage(RUSAGE_SELF, &before);
    const auto start = std::chrono::steady_clock::now();
    BoardFixture f({0x76}, "bootrom rom.bin\nsdcard 0 " + path.string() + "\n");
    TVexaSDCard& card = *f.board().SdCard();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    getrusage(RUSAGE_SELF, &after);
    // Processor time, which a busy host does not stretch as it does the wall
    // clock: one pass costs about a second, a read per byte or block minutes.
    auto cpuSeconds = [](const rusage& u) {
        return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    const double spent = cpuSeconds(after) - cpuSeconds(before);
    ASSERT_TRUE(card.HasImage());
    EXPECT_EQ(card.Image().size(), size);
    EXPECT_EQ(card.Image()[0], 0x5A);
    Command(card, 9, 0); // 1536 units of 256 KB: the top bits of C_SIZE too
    EXPECT_EQ(Read(card, 21)[3 + 6], 0x01);
    Command(card, 9, 0);
    EXPECT_EQ(Read(card, 21)[3 + 7], 0x80);
    EXPECT_LT(spent, 10.0) << "took " << seconds << " s on the wall clock";
    const double grownMb = static_cast<double>(after.ru_maxrss - before.ru_maxrss) / 1024.0;
    EXPECT_LT(grownMb, 1.5 * static_cast<double>(size >> 20)) << "peak memory grew by " << grownMb << " MB";
    // Reloading drops the old copy before reading the new one.
    f.machine().ColdBoot();
    getrusage(RUSAGE_SELF, &after);
    const double reloadMb = static_cast<double>(after.ru_maxrss - before.ru_maxrss) / 1024.0;
    EXPECT_LT(reloadMb, 1.5 * static_cast<double>(size >> 20)) << "peak memory grew by " << reloadMb << " MB";
}

// An image beyond what the card can address is refused at once, without
// trying to hold it in memory.
TEST(SdCard, OversizedImageLeavesNoCard) {
    TempDir dir;
    const fs::path path = dir / "huge.img";
    WriteFileBytes(path, {});
    fs::resize_file(path, TVexaSDCard::MaxImageSize + 1);
    BoardFixture f({0x76}, "bootrom rom.bin\nsdcard 0 " + path.string() + "\n");
    RecordingSink sink;
    f.machine().Diag().Connect(&sink);
    const auto start = std::chrono::steady_clock::now();
    f.machine().ColdBoot();
    const TVexaSDCard& card = *f.board().SdCard();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    EXPECT_FALSE(card.HasImage());
    ASSERT_FALSE(sink.Texts(DIAG_SD_MMC).empty());
    EXPECT_NE(sink.Texts(DIAG_SD_MMC).back().find("4 GB"), std::string::npos);
}
