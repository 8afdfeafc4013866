// The debugger on a real board running Z80 programs: watchpoints on memory,
// ports and a block instruction, breakpoint conditions and hit counts, Step
// Out by stack depth, Step Over of a recursive call, and a machine that is
// stopped thousands of times ending exactly where a straight run ends.
#include <gtest/gtest.h>

#include "devices/Vexamathsassist.h"
#include "support/BoardFixture.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

// A board running tests/debug/programs/NAME.asm as its boot ROM, with the
// program's labels loaded.
class Program {
public:
    explicit Program(const std::string& name) : f(ReadFileBytes(TestProgram("debug", name))) {
        std::string error;
        const auto sym = TestProgram("debug", name).replace_extension(".sym");
        EXPECT_TRUE(m().Debug().Symbols().LoadFile(sym.string(), &error)) << error;
    }
    Machine& m() { return f.machine(); }
    uint16_t At(const std::string& label) { return *m().Debug().Symbols().Find(label); }
    const Z80Registers& regs() { return f.board().Regs; }
    // Runs until the machine stops for the debugger (or `limit` T-states pass).
    bool RunToStop(uint64_t limit = 2'000'000) {
        const uint64_t serial = m().StopSerial();
        m().DebugContinue();
        for (uint64_t done = 0; done < limit && m().StopSerial() == serial;) done += m().RunCycles(20000);
        return m().StopSerial() != serial;
    }
    int Watch(WatchSpace space, uint8_t access, uint16_t first, uint16_t last, const char* condition = "") {
        int id = 0;
        std::string error;
        m().EditDebug([&](Debugger& d) { id = d.AddWatchpoint(space, access, first, last, condition, &error); });
        EXPECT_GT(id, 0) << error;
        return id;
    }
    int Break(const std::string& where, const char* condition = "") {
        int id = 0;
        std::string error;
        m().EditDebug([&](Debugger& d) { id = d.AddBreakpoint(At(where), condition, &error); });
        EXPECT_GT(id, 0) << error;
        return id;
    }
    BoardFixture f;
};

TEST(DebugMachine, MemoryWatchpointsStopAfterTheAccessAndSayWhere) {
    Program p("watch");
    const int write3 = p.Watch(WatchSpace::Memory, WatchWrite, p.At("counter"), p.At("counter"), "value == 3");
    ASSERT_TRUE(p.RunToStop());
    StopInfo stop = p.m().LastStop();
    EXPECT_EQ(stop.reason, StopReason::Watchpoint);
    EXPECT_EQ(stop.id, write3);
    EXPECT_EQ(stop.access, WatchWrite);
    EXPECT_EQ(stop.address, 0x8100);
    EXPECT_EQ(stop.value, 3);
    EXPECT_EQ(stop.instructionPc, p.At("count"));      // inc (hl) made the write...
    EXPECT_EQ(p.regs().PC, p.At("count") + 1u);        // ...and has finished
    EXPECT_EQ(p.f.board().MainRam()[0x8100], 3);
    EXPECT_EQ(DescribeStop(stop, &p.m().Debug().Symbols()),
              "Watchpoint " + std::to_string(write3) + ": write of 0x03 to 0x8100 (counter) by the instruction at "
              "0x0008 (count)");

    // A read watchpoint sees the read half of inc (hl) first, then ld a,(hl).
    p.m().EditDebug([&](Debugger& d) { d.EnableWatchpoint(write3, false); });
    p.Watch(WatchSpace::Memory, WatchRead, 0x8100, 0x8100);
    ASSERT_TRUE(p.RunToStop());
    stop = p.m().LastStop();
    EXPECT_EQ(stop.access, WatchRead);
    EXPECT_EQ(stop.value, 3);
    EXPECT_EQ(stop.instructionPc, p.At("count") + 1u); // ld a,(hl) after the write stop
    ASSERT_TRUE(p.RunToStop());
    EXPECT_EQ(p.m().LastStop().instructionPc, p.At("count") + 6u); // the second ld a,(hl)
    EXPECT_EQ(p.m().Debug().Watchpoints()[0].hits, 1u);
}

TEST(DebugMachine, PortWatchpointsSeeOutAndInWithTheirValues) {
    Program p("watch");
    p.Watch(WatchSpace::Port, WatchWrite, 0x30, 0x30, "value >= 2");
    ASSERT_TRUE(p.RunToStop());
    StopInfo stop = p.m().LastStop();
    EXPECT_EQ(stop.space, WatchSpace::Port);
    EXPECT_EQ(stop.access, WatchWrite);
    EXPECT_EQ(stop.value, 2);
    EXPECT_EQ(stop.address, 0x0230); // A goes out on the high byte of the port address
    EXPECT_EQ(stop.instructionPc, p.At("count") + 2u);
    // A range above 0xFF matches the whole 16-bit port address.
    p.m().EditDebug([](Debugger& d) { d.RemoveAll(DebugOwner::User); });
    p.Watch(WatchSpace::Port, WatchRead, 0x0431, 0x0431);
    ASSERT_TRUE(p.RunToStop());
    stop = p.m().LastStop();
    EXPECT_EQ(stop.access, WatchRead);
    EXPECT_EQ(stop.address, 0x0431);
    EXPECT_EQ(stop.value, 0); // unused ports read 0
    EXPECT_EQ(p.f.board().MainRam()[0x8100], 4);
}

TEST(DebugMachine, ABlockInstructionStopsOnEachWatchedByteItWrites) {
    Program p("watch");
    const uint16_t buffer = p.At("buffer");
    p.Watch(WatchSpace::Memory, WatchWrite, buffer + 4, buffer + 7);
    for (int i = 4; i < 8; ++i) {
        ASSERT_TRUE(p.RunToStop()) << i;
        const StopInfo stop = p.m().LastStop();
        EXPECT_EQ(stop.address, buffer + i);
        EXPECT_EQ(stop.value, "0123456789ABCDEF"[i]);
        EXPECT_EQ(stop.instructionPc, p.At("copy"));
        EXPECT_EQ(p.regs().PC, p.At("copy")); // LDIR repeats: it stands on itself
        EXPECT_EQ(p.regs().BC, 15u - i);
    }
    ASSERT_TRUE(p.RunToStop(200000) == false); // nothing else writes there
    EXPECT_EQ(p.f.board().MainRam()[0x900F], 'F');
}

TEST(DebugMachine, BreakpointConditionsCountHitsAndStopBeforeTheInstruction) {
    Program p("watch");
    const int bp = p.Break("count", "byte(counter) == 3 && A == 3");
    ASSERT_TRUE(p.RunToStop());
    EXPECT_EQ(p.m().LastStop().reason, StopReason::Breakpoint);
    EXPECT_EQ(p.regs().PC, p.At("count"));
    EXPECT_EQ(p.f.board().MainRam()[0x8100], 3); // inc (hl) has not run yet
    EXPECT_EQ(p.m().Debug().Breakpoints()[0].hits, 1u);
    // Without a condition it stops on every pass; disabled, never.
    std::string error;
    p.m().EditDebug([&](Debugger& d) { EXPECT_TRUE(d.SetBreakpointCondition(bp, "", &error)); });
    ASSERT_TRUE(p.RunToStop());
    EXPECT_EQ(p.f.board().MainRam()[0x8100], 4);
    EXPECT_EQ(p.m().Debug().Breakpoints()[0].hits, 2u);
    p.m().EditDebug([&](Debugger& d) { d.EnableBreakpoint(bp, false); });
    EXPECT_FALSE(p.RunToStop(300000));
    EXPECT_EQ(p.m().Debug().Breakpoints()[0].hits, 2u);
    // A condition naming something unknown is refused, with where it fails.
    p.m().EditDebug([&](Debugger& d) { EXPECT_FALSE(d.SetBreakpointCondition(bp, "A == nowhere", &error)); });
    EXPECT_EQ(error, "column 6: unknown name 'nowhere'");
}

TEST(DebugMachine, StepOutReturnsToTheCallerByStackDepth) {
    Program p("watch");
    p.Break("inner");
    ASSERT_TRUE(p.RunToStop());
    p.m().EditDebug([](Debugger& d) { d.RemoveAll(DebugOwner::User); });
    const uint32_t sp = p.regs().SP;
    p.m().DebugStepOut();
    for (int i = 0; i < 10 && !p.m().IsDebugHeld(); ++i) p.m().RunCycles(1000);
    EXPECT_EQ(p.m().LastStop().reason, StopReason::StepOut);
    EXPECT_EQ(p.regs().PC, p.At("after_inner"));
    EXPECT_EQ(p.regs().SP, sp + 2);
    // From after_inner, outer still has BC pushed: the POP must not count as
    // the return, the RET after it does.
    p.m().DebugStepOut();
    for (int i = 0; i < 10 && !p.m().IsDebugHeld(); ++i) p.m().RunCycles(1000);
    EXPECT_EQ(p.regs().PC, p.At("after_outer"));
    EXPECT_EQ(p.regs().SP, 0xF000u);
}

TEST(DebugMachine, StepOverARecursiveCallWaitsForTheOutermostReturn) {
    Program p("watch");
    p.Break("after_outer");
    ASSERT_TRUE(p.RunToStop());
    p.m().EditDebug([](Debugger& d) { d.RemoveAll(DebugOwner::User); });
    p.m().DebugStep(); // ld a,0x77
    p.m().DebugStepOver(); // ld (0x8200),a: no call, one step
    EXPECT_TRUE(p.m().IsDebugHeld());
    EXPECT_EQ(p.f.board().MainRam()[0x8200], 0x77);
    p.m().DebugStep(); // ld b,3
    ASSERT_EQ(p.f.board().PeekMem(static_cast<uint16_t>(p.regs().PC)), 0xCD);
    p.m().DebugStepOver();
    for (int i = 0; i < 10 && !p.m().IsDebugHeld(); ++i) p.m().RunCycles(1000);
    EXPECT_EQ(p.regs().PC, p.At("after_recurse"));
    EXPECT_EQ(p.regs().SP, 0xF000u);
    EXPECT_EQ(p.regs().BC >> 8, 0u); // every level ran
    // Step Out from the deepest level comes back one level up only.
    Program q("watch");
    q.Break("in_recurse", "B == 0");
    ASSERT_TRUE(q.RunToStop());
    q.m().EditDebug([](Debugger& d) { d.RemoveAll(DebugOwner::User); });
    const uint32_t sp = q.regs().SP;
    q.m().DebugStepOut();
    for (int i = 0; i < 10 && !q.m().IsDebugHeld(); ++i) q.m().RunCycles(1000);
    EXPECT_EQ(q.regs().PC, q.At("in_recurse"));
    EXPECT_EQ(q.regs().SP, sp + 2);
}

// The property behind every stop: stopping and going on changes nothing. A
// machine stopped at every pass of its main loop (thousands of times, with an
// interrupt due at some of those stops) ends in exactly the state of one run
// straight through, and never reports a stop anywhere but where it was asked.
TEST(DebugMachine, StoppingThousandsOfTimesChangesNothing) {
    constexpr uint64_t Cycles = 600'000;
    Program straight("ticker");
    while (straight.f.board().EmulatedCycles() < Cycles)
        straight.m().RunCycles(Cycles - straight.f.board().EmulatedCycles());

    Program stopped("ticker");
    stopped.Break("work");
    stopped.Watch(WatchSpace::Memory, WatchWrite, 0x7000, 0x7001); // the handler's counter
    stopped.m().EditDebug([](Debugger& d) { d.SetTrace(true, 1000); });
    int stops = 0, watchStops = 0;
    while (stopped.f.board().EmulatedCycles() < Cycles) {
        const uint64_t serial = stopped.m().StopSerial();
        stopped.m().RunCycles(Cycles - stopped.f.board().EmulatedCycles());
        if (stopped.m().StopSerial() == serial) continue;
        const StopInfo stop = stopped.m().LastStop();
        ++stops;
        if (stop.reason == StopReason::Watchpoint) {
            ++watchStops;
            EXPECT_EQ(stop.instructionPc, stopped.At("isr") + 6u); // ld (isr_count),hl
        } else {
            EXPECT_EQ(stop.pc, stopped.At("work")) << stops;
        }
        stopped.m().DebugContinue();
    }
    const uint8_t* a = straight.f.board().MainRam();
    const uint8_t* b = stopped.f.board().MainRam();
    EXPECT_GT(a[0x7000] | a[0x7001] << 8, 10);           // interrupts happened
    EXPECT_GT(stops, 1000);
    EXPECT_GT(watchStops, 10);
    EXPECT_EQ(std::vector<uint8_t>(a, a + 0x10000), std::vector<uint8_t>(b, b + 0x10000));
    EXPECT_EQ(straight.f.board().EmulatedCycles(), stopped.f.board().EmulatedCycles());
    const Z80Registers& ra = straight.regs();
    const Z80Registers& rb = stopped.regs();
    EXPECT_EQ(std::vector<uint32_t>(&ra.AF, &ra.AF + 17), std::vector<uint32_t>(&rb.AF, &rb.AF + 17));
    // The trace kept the last 1000 instructions, the newest last.
    const TraceBuffer& trace = stopped.m().Debug().Trace();
    EXPECT_EQ(trace.Size(), 1000u);
    uint64_t last = 0;
    trace.ForEachSince(0, [&](const TraceRecord& r) {
        EXPECT_GT(r.cycles, last);
        last = r.cycles;
    });
    EXPECT_LE(last, stopped.f.board().EmulatedCycles());
}

TEST(DebugMachine, PeekAndPokeGoThroughThePagingWithoutTouchingDevices) {
    Program p("watch");
    TVexaBoard& b = p.f.board();
    b.MainRam()[0x3 * 0x8000 + 0x10] = 0x5A;
    b.OutPort(0x00, 0x03); // page 3 at 0x8000
    EXPECT_EQ(b.PeekMem(0x8010), 0x5A);
    EXPECT_TRUE(b.PokeMem(0x8011, 0xA5));
    EXPECT_EQ(b.MainRam()[0x3 * 0x8000 + 0x11], 0xA5);
    EXPECT_EQ(b.ReadMem(0x8011), 0xA5);
    // The boot ROM overlay is what a read at 0 sees, and a poke changes it.
    EXPECT_EQ(b.PeekMem(0x0000), b.BootRom()[0]);
    // The maths unit's result reads the same by peek, without being computed
    // into the unit or logged.
    p.f.InstallLog({DIAG_MATHS});
    b.WriteMem(0x0208, 0x00);
    b.WriteMem(0x0209, 0x40); // multiplier 0x4000
    const size_t logged = p.f.Messages().size();
    const uint8_t peeked = b.PeekMem(0x0705);
    EXPECT_TRUE(b.Maths()->Dirty);
    EXPECT_EQ(p.f.Messages().size(), logged);
    EXPECT_EQ(b.ReadMem(0x0705), peeked);
    EXPECT_FALSE(b.PokeMem(0x0705, 1)); // a device register: refused
}

} // namespace
