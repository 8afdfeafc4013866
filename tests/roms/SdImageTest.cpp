// The SD card image: directory layout, the checks on programs and the
// update that keeps the user's blocks; and the mksdimage tool's handling of
// bad input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>

#include "roms/tools/SdImage.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;
using namespace testing_support;
using sdimage::Program;

namespace {

std::vector<uint8_t> Bytes(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}

uint8_t BlockSum(const std::vector<uint8_t>& image, size_t block) {
    uint8_t sum = 0;
    for (size_t i = 0; i < 512; ++i) sum = static_cast<uint8_t>(sum + image[block * 512 + i]);
    return sum;
}

TEST(SdImage, LaysProgramsOutBehindTheDirectory) {
    const std::vector<Program> programs = {{"demo", Bytes(600, 1), 0x8000, 0x8010}, {"Tiny", Bytes(10, 9), 0xF000, 0xF000}};
    std::vector<uint8_t> image;
    ASSERT_EQ(sdimage::BuildImage(programs, 4096, image), "");
    EXPECT_EQ(image.size(), 256u * 512) << "the image covers the program area at least";
    EXPECT_EQ(std::string(image.begin(), image.begin() + 7), "VEXADIR");
    EXPECT_EQ(image[7], 1);
    EXPECT_EQ(image[8], 2);
    EXPECT_EQ(image[10] | image[11] << 8, 4) << "the first free block follows the programs";
    EXPECT_EQ(BlockSum(image, 0), 0) << "the directory block adds up to zero";

    std::string error;
    const auto entries = sdimage::ReadDirectory(image, &error);
    ASSERT_TRUE(entries) << error;
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[0].name, "demo");
    EXPECT_EQ((*entries)[0].firstBlock, 1u);
    EXPECT_EQ((*entries)[0].length, 600);
    EXPECT_EQ((*entries)[0].load, 0x8000);
    EXPECT_EQ((*entries)[0].entry, 0x8010);
    EXPECT_EQ((*entries)[0].sum, sdimage::ProgramSum(programs[0].bytes));
    EXPECT_EQ((*entries)[1].name, "Tiny");
    EXPECT_EQ((*entries)[1].firstBlock, 3u) << "600 bytes take two blocks";
    EXPECT_TRUE(std::equal(programs[0].bytes.begin(), programs[0].bytes.end(), image.begin() + 512));
    EXPECT_TRUE(std::equal(programs[1].bytes.begin(), programs[1].bytes.end(), image.begin() + 3 * 512));
    EXPECT_EQ(image[512 + 600], 0) << "the rest of a program's last block is zero";
}

TEST(SdImage, RefusesProgramsTheMonitorCouldNotLoad) {
    const std::vector<std::vector<Program>> bad = {
        {{"", Bytes(4, 0)}},
        {{"seventeen-chars-x", Bytes(4, 0)}},
        {{"two words", Bytes(4, 0)}},
        {{"empty", {}}},
        {{"low", Bytes(4, 0), 0x7FFF, 0x7FFF}},
        {{"long", Bytes(0x101, 0), 0xFF00, 0xFF00}},
        {{"entry", Bytes(16, 0), 0x8000, 0x8010}},
        {{"same", Bytes(4, 0)}, {"SAME", Bytes(4, 0)}},
        {{"huge", Bytes(0x8000, 0)}, {"huge2", Bytes(0x8000, 0)}, {"huge3", Bytes(0x8000, 0)},
         {"huge4", Bytes(0x8000, 0)}}, // 256 blocks: past the program area
    };
    for (const auto& programs : bad) {
        std::vector<uint8_t> image(1024, 0xAA);
        EXPECT_NE(sdimage::BuildImage(programs, 1024, image), "") << programs[0].name;
        EXPECT_EQ(image, std::vector<uint8_t>(1024, 0xAA)) << "a refused image is left alone: " << programs[0].name;
    }
    std::vector<Program> sixteen;
    for (int i = 0; i < 16; ++i) sixteen.push_back({"p" + std::to_string(i), Bytes(4, 0)});
    std::vector<uint8_t> image;
    EXPECT_NE(sdimage::BuildImage(sixteen, 0, image), "");
    sixteen.pop_back();
    EXPECT_EQ(sdimage::BuildImage(sixteen, 0, image), "") << "fifteen fit";
}

TEST(SdImage, UpdateRewritesTheProgramAreaAndKeepsTheRest) {
    std::vector<uint8_t> image(300 * 512);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 13 + 5);
    const std::vector<uint8_t> before = image;
    ASSERT_EQ(sdimage::BuildImage({{"demo", Bytes(100, 3)}}, 0, image), "");
    ASSERT_EQ(image.size(), before.size());
    EXPECT_TRUE(std::equal(image.begin() + 256 * 512, image.end(), before.begin() + 256 * 512))
        << "blocks from 256 on are the user's";
    EXPECT_TRUE(std::all_of(image.begin() + 2 * 512, image.begin() + 256 * 512, [](uint8_t b) { return b == 0; }))
        << "stale program blocks are cleared";
}

TEST(SdImage, ReadDirectoryRejectsWhatTheMonitorRejects) {
    std::vector<uint8_t> image;
    ASSERT_EQ(sdimage::BuildImage({{"demo", Bytes(100, 3)}}, 0, image), "");
    std::string error;
    EXPECT_FALSE(sdimage::ReadDirectory(std::vector<uint8_t>(100), &error));
    auto damaged = image;
    damaged[20] ^= 1;
    EXPECT_FALSE(sdimage::ReadDirectory(damaged, &error));
    EXPECT_EQ(error, "the directory's checksum is wrong");
    damaged = image;
    damaged[3] = 'x';
    EXPECT_FALSE(sdimage::ReadDirectory(damaged, &error));
    damaged = image;
    damaged[8] = 16;
    damaged[511] = static_cast<uint8_t>(damaged[511] - 15);
    EXPECT_FALSE(sdimage::ReadDirectory(damaged, &error)) << "at most 15 entries";
}

int RunTool(const fs::path& dir, const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && '" + VEXA_MKSDIMAGE + "' " + args + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(MkSdImage, ReportsBadInputAndWritesNothing) {
    TempDir dir;
    WriteFileBytes(dir / "p.bin", Bytes(40, 1));
    EXPECT_NE(RunTool(dir.Path(), "card.img p=missing.bin"), 0);
    EXPECT_NE(ReadFileText(dir / "err.txt").find("missing.bin"), std::string::npos) << ReadFileText(dir / "err.txt");
    EXPECT_NE(RunTool(dir.Path(), "card.img p=p.bin@7000"), 0) << "below the program area";
    EXPECT_NE(RunTool(dir.Path(), "card.img p=p.bin@80000"), 0) << "not a 16-bit address";
    EXPECT_NE(RunTool(dir.Path(), "card.img nameonly"), 0);
    EXPECT_FALSE(fs::exists(dir / "card.img"));

    EXPECT_EQ(RunTool(dir.Path(), "card.img p=p.bin@9000:9004"), 0) << ReadFileText(dir / "err.txt");
    std::string error;
    const auto entries = sdimage::ReadDirectory(ReadFileBytes(dir / "card.img"), &error);
    ASSERT_TRUE(entries) << error;
    EXPECT_EQ((*entries)[0].load, 0x9000);
    EXPECT_EQ((*entries)[0].entry, 0x9004);
}

TEST(MkSdImage, UpdateKeepsTheBlocksAUserSaved) {
    TempDir dir;
    WriteFileBytes(dir / "p.bin", Bytes(40, 1));
    ASSERT_EQ(RunTool(dir.Path(), "card.img p=p.bin"), 0);
    auto image = ReadFileBytes(dir / "card.img");
    ASSERT_EQ(image.size(), sdimage::DefaultImageSize);
    image[300 * 512] = 0x5A;        // saved by the user
    image.resize(image.size() + 512, 0x77); // the card grew past its end
    WriteFileBytes(dir / "card.img", image);
    WriteFileBytes(dir / "p.bin", Bytes(40, 2)); // a rebuilt program
    ASSERT_EQ(RunTool(dir.Path(), "--update card.img p=p.bin"), 0);
    const auto updated = ReadFileBytes(dir / "card.img");
    ASSERT_EQ(updated.size(), image.size());
    EXPECT_EQ(updated[300 * 512], 0x5A);
    EXPECT_EQ(updated.back(), 0x77);
    EXPECT_EQ(updated[512], 2) << "the program is the new one";

    ASSERT_EQ(RunTool(dir.Path(), "card.img p=p.bin"), 0);
    EXPECT_EQ(ReadFileBytes(dir / "card.img")[300 * 512], 0) << "without --update the card starts afresh";
}

} // namespace
