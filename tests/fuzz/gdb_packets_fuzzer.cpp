// Fuzzes the GDB stub's packet reader and command handling with a target
// that keeps a register file and 64 KB of its own: any byte stream from a
// client must leave the stub answering, never crashing or hanging. Built as
// a libFuzzer target with clang (VEXA_FUZZ), and as a plain program that
// replays the corpus for CTest.
#include <cstddef>
#include <cstdint>
#include <string>

#include "debug/GdbStub.h"

namespace {

class FakeTarget final : public GdbTarget {
public:
    Z80Registers Registers() override { return regs; }
    void SetRegisters(const Z80Registers& r) override { regs = r; }
    uint8_t Peek(uint16_t a) override { return memory[a]; }
    bool Poke(uint16_t a, uint8_t v) override {
        if (a == 0x0700) return false; // a device register
        memory[a] = v;
        return true;
    }
    void Continue() override { Stop(StopReason::Breakpoint); }
    void Step() override { Stop(StopReason::Step); }
    void Interrupt() override { Stop(StopReason::Interrupted); }
    bool IsStopped() override { return true; }
    uint64_t StopSerial() override { return serial; }
    StopInfo LastStop() override { return last; }
    bool InsertPoint(int, uint16_t, uint16_t) override { return ++points < 1000; }
    bool RemovePoint(int, uint16_t, uint16_t) override { return points > 0 && points--; }
    void RemoveAllPoints() override { points = 0; }
    void Reset() override { regs = {}; }
    void Detach() override {}
    void Kill() override {}

private:
    void Stop(StopReason reason) {
        last.reason = reason;
        last.pc = static_cast<uint16_t>(regs.PC);
        last.serial = ++serial;
    }
    Z80Registers regs{};
    uint8_t memory[0x10000] = {};
    StopInfo last;
    uint64_t serial = 0;
    int points = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FakeTarget target;
    GdbSession session(target);
    std::string out;
    // In two halves, as a socket may deliver them, polling in between.
    session.Receive(data, size / 2, out);
    session.Poll(out);
    session.Receive(data + size / 2, size - size / 2, out);
    session.Poll(out);
    // Whatever came in, every reply is a well-formed frame or an ack.
    for (size_t i = 0; i < out.size();) {
        if (out[i] == '+' || out[i] == '-') {
            ++i;
            continue;
        }
        const size_t hash = out.find('#', i);
        if (out[i] != '$' || hash == std::string::npos || hash + 2 >= out.size()) __builtin_trap();
        i = hash + 3;
    }
    return 0;
}
