// The PS/2 ports: the bit-level transfer from the host, the output queue and
// the keyboard's answer to the reset command.
#include <gtest/gtest.h>

#include <vector>

#include "IoTestSupport.h"
#include "devices/Vexakeyboard.h"
#include "devices/Vexamouse.h"
#include "support/BoardFixture.h"

using io_test::RecordingSink;

namespace {

// The host's request to send: clock pulled (inhibit), then released with data pulled.
template <typename Device> void RequestToSend(Device& d) {
    d.SetHostLines(true, false);
    d.SetHostLines(false, true);
}

std::vector<uint8_t> Drain(TVexaPS2Device& d) {
    std::vector<uint8_t> out;
    while (d.HasData())
        out.push_back(d.ReadQueuedByte());
    return out;
}

// Ticks one cycle at a time until the device has data (or the limit);
// returns the cycles spent.
template <typename Device> int CyclesUntilData(Device& d, int limit) {
    for (int c = 1; c <= limit; ++c)
        if (d.Tick(1)) return c;
    return -1;
}

} // namespace

TEST(Ps2Device, ResetStateReadsIdle) {
    TVexaKeyboard kb;
    TVexaMouse mouse;
    for (TVexaPS2Device* d : {static_cast<TVexaPS2Device*>(&kb), static_cast<TVexaPS2Device*>(&mouse)}) {
        EXPECT_FALSE(d->DeviceClock());
        EXPECT_FALSE(d->DeviceData());
        EXPECT_FALSE(d->HasData());
        EXPECT_EQ(d->ReadQueuedByte(), 0);
        EXPECT_FALSE(d->Tick(100000)); // idle: cycles do nothing
        EXPECT_FALSE(d->DeviceClock());
    }
}

// The device clock toggles every 1150 cycles from the request to send, the
// data line stays low until the twelfth rising edge delivers the byte, and
// the keyboard answers the reset command (the host never pulls its clock, so
// the byte is 0xFF) with three bytes.
TEST(Ps2Device, KeyboardResetTransferTiming) {
    RecordingSink sink;
    TVexaKeyboard kb(&sink.channel);
    EXPECT_EQ(sink.Texts(DIAG_KB_MOUSE), (std::vector<std::string>{"PS2 Reset"}));
    sink.messages.clear();
    RequestToSend(kb);
    EXPECT_EQ(sink.Texts(DIAG_KB_MOUSE),
              (std::vector<std::string>{"Comms Inhibited by host", "Host is RTS"}));

    int rising = 0;
    bool lastClock = kb.DeviceClock();
    for (int cycle = 1; cycle <= 26450; ++cycle) {
        ASSERT_FALSE(kb.Tick(1)) << "delivered early at cycle " << cycle;
        const bool clock = kb.DeviceClock();
        if (clock != lastClock) {
            // Toggle n happens on cycle 1 + 1150 n.
            ASSERT_EQ((cycle - 1) % 1150, 0) << "edge at cycle " << cycle;
            if (clock) ++rising;
            lastClock = clock;
        }
        ASSERT_EQ(kb.DeviceData(), false);
    }
    EXPECT_EQ(rising, 11);
    EXPECT_TRUE(kb.Tick(1)); // cycle 26451: the twelfth rising edge
    EXPECT_TRUE(kb.DeviceClock());
    EXPECT_TRUE(kb.DeviceData());
    EXPECT_TRUE(kb.Tick(50000)); // both lines stay high afterwards
    EXPECT_TRUE(kb.DeviceClock());
    EXPECT_TRUE(kb.DeviceData());
    EXPECT_EQ(Drain(kb), (std::vector<uint8_t>{0xFF, 0xFA, 0xAA}));
    const auto texts = sink.Texts(DIAG_KB_MOUSE);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Received Data: 0xff with parity SET"), texts.end());
    EXPECT_EQ(texts.back(), "Reset Command Received");

    // A second transfer starts with the device clock high: one half period more.
    RequestToSend(kb);
    EXPECT_EQ(CyclesUntilData(kb, 40000), 27601);
}

// The bits are the host's clock line at each rising edge. A host holding its
// clock low after the request sends 0x00: the keyboard ignores it, and the
// mouse ignores even the reset command.
TEST(Ps2Device, OtherBytesAndTheMouseQueueNothing) {
    RecordingSink sink;
    TVexaKeyboard kb(&sink.channel);
    RequestToSend(kb);
    kb.SetHostLines(true, false); // clock pulled for the whole transfer
    EXPECT_FALSE(kb.Tick(30000));
    EXPECT_TRUE(kb.DeviceClock());
    EXPECT_FALSE(kb.HasData());
    const auto texts = sink.Texts(DIAG_KB_MOUSE);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Received Data: 0x00 with parity CLR"), texts.end());

    TVexaMouse mouse;
    RequestToSend(mouse);
    EXPECT_FALSE(mouse.Tick(30000));
    EXPECT_TRUE(mouse.DeviceClock());
    EXPECT_TRUE(mouse.DeviceData());
    EXPECT_FALSE(mouse.HasData());
}

TEST(Ps2Device, QueueHoldsThirtyOneBytesInOrder) {
    TVexaKeyboard kb;
    for (int round = 0; round < 3; ++round) { // the ring wraps between rounds
        for (int i = 0; i < 32; ++i)
            kb.QueueByte(static_cast<uint8_t>(round * 40 + i));
        std::vector<uint8_t> expected;
        for (int i = 0; i < 31; ++i)
            expected.push_back(static_cast<uint8_t>(round * 40 + i));
        EXPECT_EQ(Drain(kb), expected);
        EXPECT_FALSE(kb.HasData());
        EXPECT_EQ(kb.ReadQueuedByte(), 0);
    }
    // Interleaved queueing and reading keeps the order across the wrap.
    uint8_t next = 0, expected = 0;
    for (int i = 0; i < 20; ++i)
        kb.QueueByte(next++);
    for (int i = 0; i < 100; ++i) {
        kb.QueueByte(next++);
        ASSERT_EQ(kb.ReadQueuedByte(), expected++);
    }
    while (kb.HasData())
        ASSERT_EQ(kb.ReadQueuedByte(), expected++);
    EXPECT_EQ(expected, next);
}

TEST(Ps2Device, AcknowledgeLogsOnceAndKeepsData) {
    RecordingSink sink;
    TVexaKeyboard kb(&sink.channel);
    sink.messages.clear();
    kb.AcknowledgeIrq(); // nothing queued or taken yet
    kb.QueueByte(0x1C);
    kb.AcknowledgeIrq();
    kb.AcknowledgeIrq();
    EXPECT_EQ(sink.Texts(DIAG_KB_MOUSE), (std::vector<std::string>{"IRQ Flag Cleared"}));
    EXPECT_TRUE(kb.HasData());
    EXPECT_EQ(kb.ReadQueuedByte(), 0x1C);
    kb.AcknowledgeIrq(); // taking a byte sets the flag again
    EXPECT_EQ(sink.Texts(DIAG_KB_MOUSE).size(), 2u);
    EXPECT_FALSE(kb.HasData());
}

// The reset command drops what was waiting; keys pressed afterwards come
// after the answer.
TEST(Ps2Device, ResetCommandReplacesWaitingBytes) {
    TVexaKeyboard kb;
    for (int i = 0; i < 10; ++i)
        kb.QueueByte(0x1C);
    RequestToSend(kb);
    kb.Tick(13000);
    kb.QueueByte(0x32); // still before the answer
    kb.Tick(20000);
    kb.QueueByte(0x21);
    EXPECT_EQ(Drain(kb), (std::vector<uint8_t>{0xFF, 0xFA, 0xAA, 0x21}));
}

TEST(Ps2Device, ResetEmptiesQueueAndLogsInOrder) {
    RecordingSink sink;
    TVexaKeyboard kb(&sink.channel);
    TVexaMouse mouse(&sink.channel);
    kb.QueueByte(1);
    RequestToSend(kb);
    kb.Tick(5000);
    sink.messages.clear();
    kb.Reset();
    mouse.Reset();
    EXPECT_EQ(sink.Texts(DIAG_KB_MOUSE),
              (std::vector<std::string>{"KB Reset", "PS2 Reset", "Mouse Reset", "PS2 Reset"}));
    EXPECT_FALSE(kb.HasData());
    EXPECT_FALSE(kb.DeviceClock());
    EXPECT_FALSE(kb.Tick(50000)); // the transfer was abandoned
    EXPECT_FALSE(kb.DeviceClock());
}

// The whole handshake from a Z80 program: port 0x03 bit-banged, the clock
// watched at port 0x01, and the answer read at port 0x02 under the keyboard
// interrupt.
TEST(Ps2Device, ResetHandshakeFromZ80Program) {
    BoardFixture f(io_test::Program("ps2_reset"));
    TVexaBoard& board = f.board();
    io_test::RunFor(board, 200000);
    EXPECT_EQ(board.MainRam()[0x8004], 0x00) << "port 0x01 before the transfer";
    EXPECT_EQ(board.MainRam()[0x8005], 12) << "rising edges of the device clock";
    EXPECT_EQ(board.MainRam()[0x8006], 0x31) << "port 0x01 once the answer waits: clock, data, keyboard data";
    EXPECT_EQ(io_test::RamWord(board, io_test::KbCount), 3);
    EXPECT_EQ(io_test::RamBytes(board, io_test::KbBuffer, 4), (std::vector<uint8_t>{0xFF, 0xFA, 0xAA, 0x00}));
}

// Port 0x03 drives each device's host lines through its own two bits, and
// port 0x01 shows each device's lines in its own two bits: a request to send
// on one port runs that device's transfer and leaves the other idle.
TEST(Ps2Device, EachPortHasItsOwnHostAndDeviceLines) {
    struct Port {
        const char* name;
        uint8_t clockPull, dataPull; // port 0x03 bits
        uint8_t clockLine, dataLine; // port 0x01 bits
        bool answers;                // the keyboard answers the reset command
    } ports[] = {{"keyboard", 0x10, 0x20, 0x10, 0x20, true}, {"mouse", 0x40, 0x80, 0x40, 0x80, false}};
    for (const Port& p : ports) {
        BoardFixture f({0x76}); // halt
        TVexaBoard& b = f.board();
        const uint8_t theirs = 0xF0 & ~(p.clockLine | p.dataLine);
        b.OutPort(0x03, p.clockPull);
        b.OutPort(0x03, p.dataPull); // the request to send
        int edges = 0;
        uint8_t last = b.InPort(0x01);
        for (int i = 0; i < 40; ++i) {
            b.Tick(1150);
            const uint8_t lines = b.InPort(0x01);
            EXPECT_EQ(lines & theirs, 0) << p.name;
            if ((lines ^ last) & p.clockLine) ++edges;
            last = lines;
        }
        EXPECT_EQ(edges, 23) << p.name; // twelve rising edges from a low clock
        EXPECT_EQ(last & (p.clockLine | p.dataLine), p.clockLine | p.dataLine) << p.name;
        EXPECT_EQ((last & 0x01) != 0, p.answers) << p.name; // keyboard data waiting
        EXPECT_EQ(last & 0x02, 0) << p.name;               // the mouse never has any
    }
}
