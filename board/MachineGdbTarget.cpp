#include "board/MachineGdbTarget.h"

#include "board/Machine.h"
#include "debug/GdbServer.h"

namespace {

WatchSpace SpaceOf(int) { return WatchSpace::Memory; }
uint8_t AccessOf(int type) { return type == 2 ? WatchWrite : type == 3 ? WatchRead : WatchReadWrite; }

} // namespace

Z80Registers MachineGdbTarget::Registers() { return machine.Board().Regs; }

void MachineGdbTarget::SetRegisters(const Z80Registers& regs) {
    if (machine.IsDebugHeld()) machine.SetRegisters(regs);
}

uint8_t MachineGdbTarget::Peek(uint16_t address) { return machine.Board().PeekMem(address); }

bool MachineGdbTarget::Poke(uint16_t address, uint8_t value) {
    return machine.IsDebugHeld() && machine.Board().PokeMem(address, value);
}

void MachineGdbTarget::Continue() { machine.DebugContinue(); }
void MachineGdbTarget::Step() { machine.DebugStep(); }
void MachineGdbTarget::Interrupt() { machine.DebugBreak(StopReason::Interrupted); }
bool MachineGdbTarget::IsStopped() { return machine.IsDebugHeld(); }
uint64_t MachineGdbTarget::StopSerial() { return machine.StopSerial(); }
StopInfo MachineGdbTarget::LastStop() { return machine.LastStop(); }

bool MachineGdbTarget::InsertPoint(int type, uint16_t address, uint16_t length) {
    bool ok = false;
    machine.EditDebug([&](Debugger& d) {
        if (type <= 1) {
            if (!d.FindBreakpoint(address, DebugOwner::Gdb))
                ok = d.AddBreakpoint(address, {}, nullptr, DebugOwner::Gdb) > 0;
            else ok = true;
            return;
        }
        const uint16_t last = static_cast<uint16_t>(address + length);
        if (!d.FindWatchpoint(SpaceOf(type), AccessOf(type), address, last, DebugOwner::Gdb))
            ok = d.AddWatchpoint(SpaceOf(type), AccessOf(type), address, last, {}, nullptr, DebugOwner::Gdb) > 0;
        else ok = true;
    });
    return ok;
}

bool MachineGdbTarget::RemovePoint(int type, uint16_t address, uint16_t length) {
    bool ok = false;
    machine.EditDebug([&](Debugger& d) {
        if (type <= 1) {
            if (const Breakpoint* bp = d.FindBreakpoint(address, DebugOwner::Gdb)) ok = d.RemoveBreakpoint(bp->id);
            return;
        }
        const uint16_t last = static_cast<uint16_t>(address + length);
        if (const Watchpoint* wp = d.FindWatchpoint(SpaceOf(type), AccessOf(type), address, last, DebugOwner::Gdb))
            ok = d.RemoveWatchpoint(wp->id);
    });
    return ok;
}

void MachineGdbTarget::RemoveAllPoints() {
    machine.EditDebug([](Debugger& d) { d.RemoveAll(DebugOwner::Gdb); });
}

void MachineGdbTarget::Reset() {
    const bool held = machine.IsDebugHeld();
    if (!held) machine.DebugBreak();
    machine.ColdBoot();
}

void MachineGdbTarget::Detach() {
    RemoveAllPoints();
    machine.DebugContinue();
}

void MachineGdbTarget::Kill() {
    RemoveAllPoints();
    killRequested.store(true, std::memory_order_release);
}

MachineGdbStub::MachineGdbStub(Machine& machine) : target(machine), server(std::make_unique<GdbServer>(target)) {
    server->OnClientChange([&machine](bool connected) {
        if (connected) machine.DebugBreak(StopReason::Interrupted);
    });
}

MachineGdbStub::~MachineGdbStub() { Stop(); }

bool MachineGdbStub::Start(uint16_t port, std::string* error) { return server->Start(port, error); }
void MachineGdbStub::Stop() { server->Stop(); }
uint16_t MachineGdbStub::Port() const { return server->Port(); }
bool MachineGdbStub::ClientConnected() const { return server->ClientConnected(); }
