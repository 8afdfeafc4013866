#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "DiagCapture.h"
#include "devices/Vexapic.h"

namespace {

using Texts = std::vector<std::string>;

// One bit as the boot ROM sends it: data set with the clock low, then the clock raised.
void SendBit(TVexaPIC& pic, bool bit) {
    pic.WriteLines(false, bit);
    pic.WriteLines(true, bit);
}

void SendByte(TVexaPIC& pic, uint8_t b) {
    for (int i = 7; i >= 0; --i)
        SendBit(pic, ((b >> i) & 1) != 0);
}

void SendBytes(TVexaPIC& pic, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes)
        SendByte(pic, b);
}

void Pulse(TVexaPIC& pic) {
    pic.WriteLines(false, false);
    pic.WriteLines(true, false);
}

// 0x88 CMD then three little-endian bytes.
std::vector<uint8_t> WithArgument(uint8_t command, uint32_t argument) {
    return {0x88, command, static_cast<uint8_t>(argument), static_cast<uint8_t>(argument >> 8),
            static_cast<uint8_t>(argument >> 16)};
}

void StartBurst(TVexaPIC& pic, uint32_t address, uint32_t length) {
    SendBytes(pic, WithArgument(0xD4, address));
    SendBytes(pic, WithArgument(0xE2, length));
    SendBytes(pic, {0x88, 0xC9});
}

struct PreambleCase {
    uint8_t byte;
    const char* message;
    int state;
};

TEST(PicLink, PreambleIsTheOnlyWayIn) {
    const PreambleCase cases[] = {
        {0x88, "Received Valid 0x88 Preamble", TVexaPIC::WaitCommand},
        {0x00, "Received Invalid Preamble: 0x00", TVexaPIC::WaitPreamble},
        {0x08, "Received Invalid Preamble: 0x08", TVexaPIC::WaitPreamble},
        {0xc9, "Received Invalid Preamble: 0xc9", TVexaPIC::WaitPreamble},
        {0xff, "Received Invalid Preamble: 0xff", TVexaPIC::WaitPreamble},
    };
    for (const PreambleCase& c : cases) {
        SCOPED_TRACE(c.message);
        DiagCapture diag{DIAG_PIC};
        TVexaPIC pic(&diag.channel);
        SendByte(pic, c.byte);
        EXPECT_EQ(diag.Take(), Texts{c.message});
        EXPECT_EQ(pic.State, c.state);
        EXPECT_EQ(pic.BitCount, 0);
        EXPECT_EQ(pic.BurstAddress, 0);
        EXPECT_FALSE(pic.IsDataReady());
    }
}

struct CommandCase {
    const char* name;
    std::vector<uint8_t> bytes; // after the preamble
    Texts messages;             // after the preamble's own
    int32_t burstAddress, burstLength;
};

TEST(PicLink, EveryCommandPostsItsMessageAfterItsLastByteAndReturnsToThePreamble) {
    const CommandCase cases[] = {
        {"reconfigure", {0xA1}, {"Command: RECONFIGURE NOW!"}, 0, 0},
        {"tbd 0x25", {0x25, 0x11, 0x22}, {"Command: (4 byte command tbd)"}, 0, 0},
        {"tbd 0x37", {0x37, 0x88, 0xC9}, {"Command: (4 byte command tbd)"}, 0, 0},
        {"burst address", {0xD4, 0x56, 0x34, 0x12}, {"Command: SET BURST ADDR!"}, 0x123456, 0},
        {"burst length", {0xE2, 0x03, 0x02, 0x01}, {"Command: SET BURST LEN!"}, 0, 0x010203},
        {"longest burst length", {0xE2, 0xFF, 0xFF, 0xFF}, {"Command: SET BURST LEN!"}, 0, 0xFFFFFF},
        {"config address", {0xB8, 0x56, 0x34, 0x12}, {"Command: SET CONFIG ADDR to 0x123456"}, 0, 0},
        {"config address padded", {0xB8, 0xAB, 0x00, 0x00}, {"Command: SET CONFIG ADDR to 0x0000ab"}, 0, 0},
        {"program data", {0x98, 1, 2, 3}, {"Command: ACCEPT PGM DATA!"}, 0, 0},
        {"erase", {0xF5, 0x00, 0x00, 0x00}, {"Command: ERASE 64k BLOCK!"}, 0, 0},
        {"invalid 0x00", {0x00}, {"Received Invalid Command: 0x00"}, 0, 0},
        {"invalid preamble twice", {0x88}, {"Received Invalid Command: 0x88"}, 0, 0},
        {"invalid 0xd5", {0xD5}, {"Received Invalid Command: 0xd5"}, 0, 0},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.name);
        DiagCapture diag{DIAG_PIC};
        TVexaPIC pic(&diag.channel);
        pic.Eeprom[0] = 0x5A;
        SendByte(pic, 0x88);
        EXPECT_EQ(diag.Take(), Texts{"Received Valid 0x88 Preamble"});

        // Nothing is said before the last byte of the command.
        for (size_t i = 0; i + 1 < c.bytes.size(); ++i)
            SendByte(pic, c.bytes[i]);
        EXPECT_EQ(diag.Take(), Texts{});
        EXPECT_NE(pic.State, TVexaPIC::WaitPreamble);
        SendByte(pic, c.bytes.back());
        EXPECT_EQ(diag.Take(), c.messages);
        EXPECT_EQ(pic.Command, c.bytes[0]);
        EXPECT_EQ(pic.State, TVexaPIC::WaitPreamble);
        EXPECT_EQ(pic.BurstAddress, c.burstAddress);
        EXPECT_EQ(pic.BurstLength, c.burstLength);
        EXPECT_EQ(pic.Eeprom[0], 0x5A); // no command writes the EEPROM
        EXPECT_FALSE(pic.IsDataReady());

        SendByte(pic, 0x88);
        EXPECT_EQ(diag.Take(), Texts{"Received Valid 0x88 Preamble"});
    }
}

TEST(PicLink, BurstStreamsTheConfiguredRangeOnePulseAtATime) {
    DiagCapture diag{DIAG_PIC};
    TVexaPIC pic(&diag.channel);
    pic.Eeprom[0x0FFF] = 0x10;
    pic.Eeprom[0x1000] = 0x11;
    pic.Eeprom[0x1001] = 0x22;
    pic.Eeprom[0x1002] = 0x33;
    pic.Eeprom[0x1003] = 0x44;

    SendBytes(pic, {0x88, 0xD4, 0x00, 0x10, 0x00});
    SendBytes(pic, {0x88, 0xE2, 0x03, 0x00, 0x00});
    SendBytes(pic, {0x88, 0xC9});
    EXPECT_EQ(diag.Take(), (Texts{"Received Valid 0x88 Preamble", "Command: SET BURST ADDR!",
                                  "Received Valid 0x88 Preamble", "Command: SET BURST LEN!",
                                  "Received Valid 0x88 Preamble", "Command: BEGIN DATABURST!",
                                  "Databurst from: 0x001000 size(dec): 3 bytes"}));
    EXPECT_EQ(pic.State, TVexaPIC::Burst);
    EXPECT_FALSE(pic.IsDataReady());

    const uint8_t expected[] = {0x11, 0x22, 0x33};
    for (int i = 0; i < 3; ++i) {
        Pulse(pic);
        ASSERT_TRUE(pic.IsDataReady()) << "pulse " << i;
        EXPECT_EQ(pic.ReadData(), expected[i]);
        EXPECT_FALSE(pic.IsDataReady());
        EXPECT_EQ(diag.Take(), i == 2 ? Texts{"Databurst Complete"} : Texts{});
    }
    EXPECT_EQ(pic.State, TVexaPIC::WaitPreamble);

    // Pulses now shift bits again instead of fetching bytes.
    SendByte(pic, 0x55);
    EXPECT_FALSE(pic.IsDataReady());
    EXPECT_EQ(diag.Take(), Texts{"Received Invalid Preamble: 0x55"});
}

TEST(PicLink, BurstAddressWrapsAtTheEndOfTheEeprom) {
    struct Case {
        uint32_t address, length;
        std::vector<int> offsets;
    };
    const Case cases[] = {
        {0x7FFFF, 2, {0x7FFFF, 0x00000}},
        {0x7FFFE, 4, {0x7FFFE, 0x7FFFF, 0x00000, 0x00001}},
        {0x80001, 2, {0x00001, 0x00002}}, // the 24-bit address is read modulo the EEPROM size
        {0xFFFFFF, 1, {0x7FFFF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        TVexaPIC pic;
        for (int i = 0; i < TVexaPIC::EepromSize; ++i)
            pic.Eeprom[i] = static_cast<uint8_t>(i * 7 + (i >> 8));
        StartBurst(pic, c.address, c.length);
        for (int offset : c.offsets) {
            Pulse(pic);
            EXPECT_EQ(pic.ReadData(), pic.Eeprom[offset]);
        }
        EXPECT_EQ(pic.State, TVexaPIC::WaitPreamble);
    }
}

TEST(PicLink, BurstOfLengthZeroNeverCompletes) {
    DiagCapture diag{DIAG_PIC};
    TVexaPIC pic(&diag.channel);
    for (int i = 0; i < 2000; ++i)
        pic.Eeprom[0x100 + i] = static_cast<uint8_t>(i * 13 + 1);
    StartBurst(pic, 0x100, 0);
    diag.Take();
    for (int i = 0; i < 2000; ++i) {
        Pulse(pic);
        ASSERT_EQ(pic.ReadData(), static_cast<uint8_t>(i * 13 + 1)) << "pulse " << i;
    }
    EXPECT_EQ(pic.State, TVexaPIC::Burst);
    EXPECT_EQ(pic.Remaining, -2000);
    EXPECT_EQ(diag.Take(), Texts{});

    // Left running for billions of pulses it still neither completes nor
    // overflows its counters (the sanitizer build checks the latter).
    pic.Remaining = INT32_MIN + 1;
    pic.Value = INT32_MAX;
    for (int i = 0; i < 3; ++i)
        Pulse(pic);
    EXPECT_EQ(pic.Remaining, INT32_MIN);
    EXPECT_EQ(pic.State, TVexaPIC::Burst);
    EXPECT_EQ(pic.ReadData(), pic.Eeprom[1]); // INT32_MAX, then wrapped: 0x7FFFF, 0x00000, 0x00001
    EXPECT_EQ(diag.Take(), Texts{});
}

TEST(PicLink, OnlyRisingClockEdgesCount) {
    DiagCapture diag{DIAG_PIC};
    TVexaPIC pic(&diag.channel);
    // Each bit surrounded by noise: the data line moves while the clock is low
    // and while it is high, the clock stays high over several writes, and
    // falls with the opposite data.
    for (int i = 7; i >= 0; --i) {
        const bool bit = ((0x88 >> i) & 1) != 0;
        pic.WriteLines(false, !bit);
        pic.WriteLines(false, bit);
        pic.WriteLines(true, bit);
        pic.WriteLines(true, !bit);
        pic.WriteLines(true, bit);
        pic.WriteLines(false, !bit);
        EXPECT_EQ(pic.BitCount, i == 0 ? 0 : 8 - i);
    }
    EXPECT_EQ(diag.Take(), Texts{"Received Valid 0x88 Preamble"});

    // Holding the clock high while the data line toggles shifts nothing.
    pic.WriteLines(true, true);
    for (int i = 0; i < 20; ++i)
        pic.WriteLines(true, (i & 1) != 0);
    EXPECT_EQ(pic.BitCount, 1);

    // During a burst too, one byte per rising edge however long the clock stays up.
    TVexaPIC burst;
    burst.Eeprom[0] = 0xA0;
    burst.Eeprom[1] = 0xA1;
    StartBurst(burst, 0, 5); // leaves the clock high: no byte yet
    burst.WriteLines(true, false);
    EXPECT_FALSE(burst.IsDataReady());
    burst.WriteLines(false, true);
    burst.WriteLines(true, true);
    burst.WriteLines(true, false);
    burst.WriteLines(true, true);
    burst.WriteLines(false, false);
    burst.WriteLines(false, true);
    EXPECT_EQ(burst.Remaining, 4);
    EXPECT_EQ(burst.ReadData(), 0xA0);
}

TEST(PicLink, UnreadBurstByteIsReplacedByTheNextPulse) {
    TVexaPIC pic;
    pic.Eeprom[0x20] = 0x01;
    pic.Eeprom[0x21] = 0x02;
    pic.Eeprom[0x22] = 0x03;
    StartBurst(pic, 0x20, 3);
    Pulse(pic);
    Pulse(pic);
    EXPECT_TRUE(pic.IsDataReady());
    EXPECT_EQ(pic.ReadData(), 0x02);
    EXPECT_FALSE(pic.IsDataReady());
    // A read with nothing waiting gives the last byte again.
    EXPECT_EQ(pic.ReadData(), 0x02);
    EXPECT_FALSE(pic.IsDataReady());
    Pulse(pic);
    EXPECT_EQ(pic.ReadData(), 0x03);
    EXPECT_EQ(pic.State, TVexaPIC::WaitPreamble);
}

TEST(PicLink, ResetRestartsTheLinkButKeepsEepromRemainingAndDataByte) {
    DiagCapture diag{DIAG_PIC};
    TVexaPIC pic(&diag.channel);
    pic.Eeprom[0x40] = 0x77;
    pic.Eeprom[0x41] = 0x66;
    StartBurst(pic, 0x40, 0); // endless
    Pulse(pic);
    pic.WriteLines(false, false);
    pic.WriteLines(true, true); // second byte fetched, clock left high
    diag.Take();

    pic.Reset();
    EXPECT_EQ(pic.State, TVexaPIC::WaitPreamble);
    EXPECT_EQ(pic.BitCount, 0);
    EXPECT_EQ(pic.ShiftRegister, 0);
    EXPECT_EQ(pic.Command, 0);
    EXPECT_EQ(pic.Value, 0);
    EXPECT_EQ(pic.BurstAddress, 0);
    EXPECT_EQ(pic.BurstLength, 0);
    EXPECT_FALSE(pic.IsDataReady());
    EXPECT_FALSE(pic.LastClock);
    EXPECT_EQ(pic.Remaining, -2);
    EXPECT_EQ(pic.DataByte, 0x66);
    EXPECT_EQ(pic.Eeprom[0x40], 0x77);

    // The clock counts as low after a reset, so the first high write is an edge.
    pic.WriteLines(true, true);
    EXPECT_EQ(pic.BitCount, 1);
    for (int i = 0; i < 7; ++i)
        SendBit(pic, false);
    EXPECT_EQ(diag.Take(), Texts{"Received Invalid Preamble: 0x80"});

    // A reset part-way through an argument drops it.
    SendBytes(pic, {0x88, 0xD4, 0x12});
    pic.Reset();
    SendBytes(pic, {0x34, 0x56});
    EXPECT_EQ(pic.BurstAddress, 0);
    EXPECT_EQ(pic.State, TVexaPIC::WaitPreamble);
}

} // namespace
