// The GDB remote serial protocol, as a stub serving one Z80: packet framing
// (checksums, acknowledgements, the 0x03 interrupt) and the commands, on a
// target interface. No sockets here, so the parser is tested and fuzzed on
// plain bytes; debug/GdbServer puts it on a TCP port.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "cpu/Z80.h"
#include "debug/Debugger.h"

// What the stub needs of the machine. Register and memory calls are made
// only while the target is stopped.
class GdbTarget {
public:
    virtual ~GdbTarget() = default;
    virtual Z80Registers Registers() = 0;
    virtual void SetRegisters(const Z80Registers& regs) = 0;
    // Memory as the processor sees it through the paging, with no effect on
    // devices; Poke is false where a device register would be written.
    virtual uint8_t Peek(uint16_t address) = 0;
    virtual bool Poke(uint16_t address, uint8_t value) = 0;
    virtual void Continue() = 0;
    virtual void Step() = 0;       // one instruction; stopped again on return
    virtual void Interrupt() = 0;  // stops a running target
    virtual bool IsStopped() = 0;
    virtual uint64_t StopSerial() = 0;
    virtual StopInfo LastStop() = 0;
    // type 0/1: breakpoint; 2 write, 3 read, 4 access watchpoint of len bytes.
    virtual bool InsertPoint(int type, uint16_t address, uint16_t length) = 0;
    virtual bool RemovePoint(int type, uint16_t address, uint16_t length) = 0;
    virtual void RemoveAllPoints() = 0;
    virtual void Reset() = 0;      // cold boot; the target stays stopped
    virtual void Detach() = 0;     // the client leaves: its points go, the machine runs
    virtual void Kill() = 0;       // the client asks the machine to end
};

// Splits the byte stream from a client into packets.
class GdbPacketReader {
public:
    enum class Event { None, Packet, Interrupt, Ack, Nack, BadChecksum, Overflow };
    // The largest payload taken; anything longer is dropped whole.
    static constexpr size_t MaxPayload = 16384;

    Event Feed(uint8_t byte);
    // The payload of the last Packet event, with '}' escapes undone.
    const std::string& Payload() const { return payload; }

private:
    enum class State { Idle, Body, Escape, Check1, Check2 } state = State::Idle;
    std::string payload;
    uint8_t sum = 0;
    uint8_t given = 0;
    bool overflow = false;
};

// "$payload#checksum", with '$', '#', '}' and '*' escaped.
std::string GdbFrame(std::string_view payload);
std::string GdbHex(std::string_view bytes);

// The target description: architecture z80, feature org.gnu.gdb.z80.cpu with
// af bc de hl sp pc ix iy af' bc' de' hl' ir (16 bits each), then
// iff1 iff2 im (8 bits each) in a feature of this machine's own.
const std::string& GdbTargetXml();

class GdbSession {
public:
    explicit GdbSession(GdbTarget& target) : target(target) {}

    // Bytes from the client; what to send back is appended to out.
    void Receive(const uint8_t* data, size_t size, std::string& out);
    // Called now and then: while the target runs, sends the stop reply once
    // it has stopped.
    void Poll(std::string& out);
    // The client detached or asked for a kill: close the connection.
    bool Finished() const { return finished; }
    // The client went away without a word: let the machine go as D does.
    void Abandon();

    // One command packet's reply payload (empty: not supported). Sets
    // `waiting` for c, s and friends, whose reply is the stop that follows.
    std::string Handle(const std::string& packet);

private:
    std::string StopReply(const StopInfo& stop) const;
    std::string ReadRegisters();
    bool WriteRegisters(std::string_view hex);
    std::string ReadRegister(std::string_view args);
    std::string WriteRegister(std::string_view args);
    std::string ReadMemory(std::string_view args);
    std::string WriteMemory(std::string_view args, bool binary);
    std::string Point(std::string_view args, bool insert);
    std::string Resume(char action, std::string_view address);
    std::string Query(const std::string& packet);
    std::string MonitorCommand(std::string_view hex);
    void Send(std::string& out, std::string_view payload);

    GdbTarget& target;
    GdbPacketReader reader;
    bool noAck = false;
    bool waiting = false;   // a resume is under way: the stop reply is owed
    bool finished = false;
    bool swbreak = false;   // the client understands swbreak/hwbreak stop reasons
    uint64_t resumedSerial = 0;
    std::string lastReply;  // resent on a NAK
};
