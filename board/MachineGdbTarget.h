// A GDB client's view of a Machine: every call goes through the machine's
// lifecycle (the debugger's hold, steps, EditDebug), never around it.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "debug/GdbStub.h"

class Machine;

class MachineGdbTarget final : public GdbTarget {
public:
    explicit MachineGdbTarget(Machine& machine) : machine(machine) {}

    Z80Registers Registers() override;
    void SetRegisters(const Z80Registers& regs) override;
    uint8_t Peek(uint16_t address) override;
    bool Poke(uint16_t address, uint8_t value) override;
    void Continue() override;
    void Step() override;
    void Interrupt() override;
    bool IsStopped() override;
    uint64_t StopSerial() override;
    StopInfo LastStop() override;
    bool InsertPoint(int type, uint16_t address, uint16_t length) override;
    bool RemovePoint(int type, uint16_t address, uint16_t length) override;
    void RemoveAllPoints() override;
    void Reset() override;
    void Detach() override;
    void Kill() override;

    // The client asked to end the machine (k); the owner ends the run or the program.
    bool KillRequested() const { return killRequested.load(std::memory_order_acquire); }

private:
    Machine& machine;
    std::atomic<bool> killRequested{false};
};

class GdbServer;

// The stub serving one machine on a port: a client that arrives finds the
// machine stopped, as GDB expects of a target it attaches to.
class MachineGdbStub {
public:
    explicit MachineGdbStub(Machine& machine);
    ~MachineGdbStub();
    bool Start(uint16_t port, std::string* error);
    void Stop();
    uint16_t Port() const;
    bool ClientConnected() const;
    bool KillRequested() const { return target.KillRequested(); }

private:
    MachineGdbTarget target;
    std::unique_ptr<GdbServer> server;
};
