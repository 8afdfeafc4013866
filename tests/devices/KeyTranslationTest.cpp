// Host keys to scan codes, checked end to end: the bytes a program reads at
// port 0x02 under the keyboard interrupt.
#include <gtest/gtest.h>

#include "IoTestSupport.h"
#include "devices/Vexakeyboard.h"
#include "support/BoardFixture.h"

using io_test::KbBuffer;
using io_test::KbCount;
using io_test::RecordingSink;
using io_test::RunFor;

namespace {

constexpr uint16_t VK_LEFT = 0x25, VK_LWIN = 0x5B, VK_F7 = 0x76, VK_NUMPAD4 = 0x64, VK_OEM_1 = 0xBA,
                   VK_DIVIDE = 0x6F;

// What the echo program has collected so far.
std::vector<uint8_t> Received(TVexaBoard& board) {
    return io_test::RamBytes(board, KbBuffer, io_test::RamWord(board, KbCount));
}

} // namespace

TEST(KeyTranslation, TableHasItsNinetySixKeysAndOnlyTwoKinds) {
    int nonzero = 0;
    for (int vk = 0; vk < 256; ++vk) {
        const uint16_t e = KeyTranslationTable[vk];
        if (e == 0) continue;
        ++nonzero;
        EXPECT_TRUE((e & 0xFF00) == 0 || (e & 0xFF00) == 0xE000) << "vk " << vk;
        EXPECT_NE(e & 0xFF, 0) << "vk " << vk;
    }
    EXPECT_EQ(nonzero, 96);
}

// Auto-repeat sends the make code per repeat and one break code; only the
// low byte of the code is looked up; unmapped keys send nothing.
TEST(KeyTranslation, KeyEventsReachTheProgram) {
    BoardFixture f(io_test::Program("kbd_echo"));
    TVexaBoard& board = f.board();
    RunFor(board, 2000);
    board.HostKeyDown('A', 0);
    board.HostKeyUp('A', 0);
    RunFor(board, 5000);
    EXPECT_EQ(Received(board), (std::vector<uint8_t>{0x1C, 0xF0, 0x1C}));

    board.HostKeyDown(VK_LEFT, 0);
    board.HostKeyUp(VK_LEFT, 0);
    board.HostKeyDown(VK_LWIN, 0);
    board.HostKeyUp(VK_LWIN, 0);
    for (int i = 0; i < 3; ++i)
        board.HostKeyDown('Z', 0);
    board.HostKeyUp('Z', 0);
    board.HostKeyDown(VK_F7, 0);
    board.HostKeyDown(0x100 | VK_NUMPAD4, 0);
    board.HostKeyDown(VK_DIVIDE, 0);
    RunFor(board, 10000);
    EXPECT_EQ(Received(board), (std::vector<uint8_t>{0x1C, 0xF0, 0x1C, 0xE0, 0x6B, 0xE0, 0xF0, 0x6B, 0x1A,
                                                     0x1A, 0x1A, 0xF0, 0x1A, 0x83, 0x6B, 0xE0, 0x4A}));
}

// The messages are posted whatever the filter says, with lower-case digits;
// an ignored key posts nothing.
TEST(KeyTranslation, MessagesWithoutFilterTest) {
    BoardFixture f(io_test::Program("kbd_echo"));
    TVexaBoard& board = f.board();
    RecordingSink sink(/*enabled=*/false);
    f.machine().Diag().Connect(&sink);
    board.HostKeyDown(VK_OEM_1, 0x1b);
    board.HostKeyUp(VK_OEM_1, 0);
    board.HostKeyDown(VK_LWIN, 0);
    board.HostKeyUp(VK_LWIN, 0);
    EXPECT_EQ(sink.Texts(DIAG_KB_MOUSE),
              (std::vector<std::string>{"Key Press 0x00ba, 0x001b", "Key Release 0x00ba, 0x0000"}));
}

// A full queue drops new key events whole, never a part of one: each event
// either fits with all its bytes or leaves the queue as it was, at the limit
// and just past it. The waiting bytes are read intact.
TEST(KeyTranslation, FullQueueDropsWholeKeyEvents) {
    struct Case {
        int waiting;
        std::vector<uint8_t> added; // what Left's release, then A's press, leave in the queue
    } cases[] = {
        {27, {0xE0, 0xF0, 0x6B, 0x1C}}, // 31 bytes: both fit
        {28, {0xE0, 0xF0, 0x6B}},       // Left's three fill the queue; A is dropped
        {29, {0x1C}},                   // Left's three do not fit; A's one does
        {31, {}},
    };
    for (const Case& c : cases) {
        BoardFixture f(io_test::Program("kbd_echo")); // interrupts not yet enabled: nothing is read
        TVexaBoard& board = f.board();
        std::vector<uint8_t> expected;
        for (int i = 0; i < c.waiting; ++i) {
            board.Keyboard()->QueueByte(static_cast<uint8_t>(i + 1));
            expected.push_back(static_cast<uint8_t>(i + 1));
        }
        board.HostKeyUp(VK_LEFT, 0);
        board.HostKeyDown('A', 0);
        RunFor(board, 20000);
        expected.insert(expected.end(), c.added.begin(), c.added.end());
        EXPECT_EQ(Received(board), expected) << c.waiting << " bytes waiting";
    }
}
