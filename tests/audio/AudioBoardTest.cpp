// The channels as the processor reaches them through the board: ports, the
// 10,000-cycle step and the audio interrupt.
#include <gtest/gtest.h>

#include "AudioTestSupport.h"

using audio_test::AudioFixture;

TEST(AudioBoard, PortsReachTheChannels) {
    AudioFixture f;
    TVexaBoard& b = *f.board;
    TVexaAudioSystem& audio = *b.Audio();
    b.OutPort(0x1216, 0x34); // the port's high byte is the value's high byte
    EXPECT_EQ(audio.ChannelState(1).period, 0x1234);
    EXPECT_EQ(b.InPort(0xFF16), 0x34); // reads hand over the low byte
    b.OutPort(0x0057, 0x50);           // 0x57 & 0x3F = 0x17: channel 1 volume
    EXPECT_EQ(b.InPort(0x17), 64);

    b.OutPort(0x08, 0x03);
    EXPECT_EQ(b.InPort(0x08), 0x03);
    b.Tick(10000); // duration 0: both channels loop within the step
    EXPECT_EQ(b.InPort(0x08), 0x33);
    b.OutPort(0x02, 0x27); // bit 5 clears channel 1's loop flag; bits 0-2 belong to other devices
    EXPECT_EQ(b.InPort(0x08), 0x13);
}

// Port 0x02 bits 4-7 acknowledge the loop flags of channels 0-3, each its
// own and no other.
TEST(AudioBoard, EachAcknowledgeBitClearsItsOwnChannelsLoopFlag) {
    AudioFixture f;
    TVexaBoard& b = *f.board;
    b.OutPort(0x08, 0x0F); // every channel plays (duration 0: a loop per source step)
    for (int n = 0; n < 4; ++n) {
        b.Tick(10000);
        ASSERT_EQ(b.InPort(0x08), 0xFF) << n;
        b.OutPort(0x02, static_cast<uint8_t>(0x10 << n));
        EXPECT_EQ(b.InPort(0x08), 0xFF & ~(0x10 << n)) << n;
    }
    b.OutPort(0x02, 0xF0);
    EXPECT_EQ(b.InPort(0x08), 0x0F);
}

TEST(AudioBoard, LoopFlagsInterruptOnlyOnTheStepTickAndWithTheMasterBit) {
    AudioFixture f;
    TVexaBoard& b = *f.board;
    b.OutPort(0x12, 0xE8 /* period 0x00E8: top rate */);
    b.OutPort(0x08, 0x01);

    b.OutPort(0x01, 0x08); // audio enabled, master off
    EXPECT_FALSE(b.Tick(10000));
    b.OutPort(0x01, 0x80); // master only
    EXPECT_FALSE(b.Tick(10000));

    b.OutPort(0x01, 0x88);
    EXPECT_TRUE(b.Tick(10000));
    EXPECT_TRUE(b.IsIrqPending());
    EXPECT_NE(b.InPort(0x08) & 0x10, 0);
    EXPECT_FALSE(b.Tick(4)); // the flag is still set, but only the step samples it
    EXPECT_TRUE(b.Tick(9996));

    b.OutPort(0x08, 0x00); // stopped: once acknowledged, no more loops
    b.OutPort(0x02, 0x10);
    EXPECT_EQ(b.InPort(0x08) & 0xF0, 0);
    EXPECT_FALSE(b.Tick(10000));
}

TEST(AudioBoard, ColdBootLeavesTheChannelsAlone) {
    AudioFixture f;
    TVexaBoard& b = *f.board;
    b.OutPort(0x0510, 0x00);
    b.OutPort(0x08, 0x01);
    f.machine->ColdBoot();
    EXPECT_EQ(b.Audio()->ChannelState(0).location, 0x0500);
    EXPECT_TRUE(b.Audio()->ChannelState(0).active);
    EXPECT_EQ(b.InPort(0x08), 0x01);
}
