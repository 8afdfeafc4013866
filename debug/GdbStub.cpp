#include "debug/GdbStub.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int RegisterCount = 16; // 13 of the cpu feature, then iff1 iff2 im
constexpr int MainRegisters = 13;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hex digits of a number; false on an empty text, a bad digit or more than
// 32 bits' worth.
bool ParseNumber(std::string_view s, uint32_t& value) {
    if (s.empty() || s.size() > 8) return false;
    value = 0;
    for (char c : s) {
        const int d = HexDigit(c);
        if (d < 0) return false;
        value = value << 4 | static_cast<uint32_t>(d);
    }
    return true;
}

// "addr,len" with an optional tail after `end` (':' for M and X, ',' for Z).
bool ParseAddressLength(std::string_view args, uint32_t& address, uint32_t& length, std::string_view* tail,
                        char end) {
    const size_t comma = args.find(',');
    if (comma == std::string_view::npos) return false;
    std::string_view rest = args.substr(comma + 1);
    std::string_view len = rest;
    if (tail) {
        const size_t stop = rest.find(end);
        if (stop == std::string_view::npos) return false;
        len = rest.substr(0, stop);
        *tail = rest.substr(stop + 1);
    }
    return ParseNumber(args.substr(0, comma), address) && ParseNumber(len, length);
}

bool DecodeHex(std::string_view hex, std::string& out) {
    if (hex.size() % 2) return false;
    out.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexDigit(hex[i]), lo = HexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<char>(hi << 4 | lo));
    }
    return true;
}

std::string Hex8(unsigned v) {
    char t[3];
    std::snprintf(t, sizeof t, "%02x", v & 0xFF);
    return t;
}
std::string Hex16LE(unsigned v) { return Hex8(v) + Hex8(v >> 8); }

uint16_t IR(const Z80Registers& r) {
    return static_cast<uint16_t>((r.I & 0xFF) << 8 | (r.R & 0x7F) | (r.R7 & 0x80));
}

void SetRegister(Z80Registers& r, int n, uint32_t v) {
    const uint32_t w = v & 0xFFFF;
    switch (n) {
    case 0: r.AF = w; break;
    case 1: r.BC = w; break;
    case 2: r.DE = w; break;
    case 3: r.HL = w; break;
    case 4: r.SP = w; break;
    case 5: r.PC = w; break;
    case 6: r.IX = w; break;
    case 7: r.IY = w; break;
    case 8: r.AFAlt = w; break;
    case 9: r.BCAlt = w; break;
    case 10: r.DEAlt = w; break;
    case 11: r.HLAlt = w; break;
    case 12: // as LD I,A and LD R,A would leave them
        r.I = w >> 8;
        r.R = w & 0xFF;
        r.R7 = w & 0xFF;
        break;
    case 13: r.IFF1 = v & 1; break;
    case 14: r.IFF2 = v & 1; break;
    case 15: r.IM = v > 2 ? 2 : v; break;
    default: break;
    }
}

uint32_t GetRegister(const Z80Registers& r, int n) {
    const uint32_t values[RegisterCount] = {r.AF,    r.BC,    r.DE,    r.HL,    r.SP,   r.PC,   r.IX,   r.IY,
                                            r.AFAlt, r.BCAlt, r.DEAlt, r.HLAlt, IR(r),  r.IFF1, r.IFF2, r.IM};
    return values[n];
}

int RegisterBytes(int n) { return n < MainRegisters ? 2 : 1; }

std::string EncodeRegister(const Z80Registers& r, int n) {
    const uint32_t v = GetRegister(r, n);
    return RegisterBytes(n) == 2 ? Hex16LE(v) : Hex8(v);
}

// Binary data in a reply: escape what framing would misread.
std::string EscapeBinary(std::string_view data) {
    std::string out;
    for (char c : data) {
        if (c == '$' || c == '#' || c == '}' || c == '*') {
            out.push_back('}');
            out.push_back(static_cast<char>(c ^ 0x20));
        } else out.push_back(c);
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Framing

GdbPacketReader::Event GdbPacketReader::Feed(uint8_t c) {
    switch (state) {
    case State::Idle:
        if (c == '$') {
            payload.clear();
            sum = 0;
            overflow = false;
            state = State::Body;
            return Event::None;
        }
        if (c == 0x03) return Event::Interrupt;
        if (c == '+') return Event::Ack;
        if (c == '-') return Event::Nack;
        return Event::None; // noise between packets
    case State::Body:
    case State::Escape:
        if (c == '#') {
            state = State::Check1;
            return Event::None;
        }
        if (c == '$') { // a new packet inside the old one: start again
            payload.clear();
            sum = 0;
            overflow = false;
            state = State::Body;
            return Event::None;
        }
        sum = static_cast<uint8_t>(sum + c);
        if (state == State::Body && c == '}') {
            state = State::Escape;
            return Event::None;
        }
        if (payload.size() >= MaxPayload) overflow = true;
        else payload.push_back(static_cast<char>(state == State::Escape ? c ^ 0x20 : c));
        state = State::Body;
        return Event::None;
    case State::Check1: {
        const int d = HexDigit(static_cast<char>(c));
        given = static_cast<uint8_t>((d < 0 ? 0x100 : d) << 4);
        state = d < 0 ? State::Idle : State::Check2;
        return d < 0 ? Event::BadChecksum : Event::None;
    }
    case State::Check2: {
        state = State::Idle;
        const int d = HexDigit(static_cast<char>(c));
        if (d < 0 || static_cast<uint8_t>(given | d) != sum) return Event::BadChecksum;
        if (overflow) {
            payload.clear();
            return Event::Overflow;
        }
        return Event::Packet;
    }
    }
    return Event::None;
}

std::string GdbFrame(std::string_view payload) {
    std::string out = "$";
    uint8_t sum = 0;
    for (char c : payload) {
        if (c == '$' || c == '#' || c == '}' || c == '*') {
            out.push_back('}');
            sum = static_cast<uint8_t>(sum + '}');
            c = static_cast<char>(c ^ 0x20);
        }
        out.push_back(c);
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    }
    return out + "#" + Hex8(sum);
}

std::string GdbHex(std::string_view bytes) {
    std::string out;
    for (char c : bytes) out += Hex8(static_cast<uint8_t>(c));
    return out;
}

const std::string& GdbTargetXml() {
    static const std::string xml = R"(<?xml version="1.0"?>
<!DOCTYPE target SYSTEM "gdb-target.dtd">
<target version="1.0">
  <architecture>z80</architecture>
  <feature name="org.gnu.gdb.z80.cpu">
    <flags id="af_flags" size="2">
      <field name="C" start="0" end="0"/>
      <field name="N" start="1" end="1"/>
      <field name="P/V" start="2" end="2"/>
      <field name="F3" start="3" end="3"/>
      <field name="H" start="4" end="4"/>
      <field name="F5" start="5" end="5"/>
      <field name="Z" start="6" end="6"/>
      <field name="S" start="7" end="7"/>
    </flags>
    <reg name="af" bitsize="16" type="af_flags"/>
    <reg name="bc" bitsize="16" type="uint16"/>
    <reg name="de" bitsize="16" type="data_ptr"/>
    <reg name="hl" bitsize="16" type="data_ptr"/>
    <reg name="sp" bitsize="16" type="data_ptr"/>
    <reg name="pc" bitsize="16" type="code_ptr"/>
    <reg name="ix" bitsize="16" type="data_ptr"/>
    <reg name="iy" bitsize="16" type="data_ptr"/>
    <reg name="af'" bitsize="16" type="af_flags"/>
    <reg name="bc'" bitsize="16" type="uint16"/>
    <reg name="de'" bitsize="16" type="data_ptr"/>
    <reg name="hl'" bitsize="16" type="data_ptr"/>
    <reg name="ir" bitsize="16" type="uint16"/>
  </feature>
  <feature name="org.vexa.z80.interrupts">
    <reg name="iff1" bitsize="8" type="uint8"/>
    <reg name="iff2" bitsize="8" type="uint8"/>
    <reg name="im" bitsize="8" type="uint8"/>
  </feature>
</target>
)";
    return xml;
}

// ---------------------------------------------------------------------------
// Session

void GdbSession::Send(std::string& out, std::string_view payload) {
    lastReply = GdbFrame(payload);
    out += lastReply;
}

void GdbSession::Receive(const uint8_t* data, size_t size, std::string& out) {
    for (size_t i = 0; i < size && !finished; ++i) {
        switch (reader.Feed(data[i])) {
        case GdbPacketReader::Event::Packet: {
            if (!noAck) out.push_back('+');
            std::string reply = Handle(reader.Payload());
            if (finished && reader.Payload() == "k") return; // no reply to a kill
            if (!waiting) Send(out, reply);
            break;
        }
        case GdbPacketReader::Event::Interrupt:
            if (waiting && !target.IsStopped()) target.Interrupt();
            break;
        case GdbPacketReader::Event::BadChecksum:
            if (!noAck) out.push_back('-');
            break;
        case GdbPacketReader::Event::Overflow:
            // Too long to be anything this stub serves.
            if (!noAck) out.push_back('+');
            Send(out, "E01");
            break;
        case GdbPacketReader::Event::Nack:
            if (!noAck && !lastReply.empty()) out += lastReply;
            break;
        default: break;
        }
    }
}

void GdbSession::Poll(std::string& out) {
    if (!waiting || finished) return;
    if (target.StopSerial() == resumedSerial || !target.IsStopped()) return;
    waiting = false;
    Send(out, StopReply(target.LastStop()));
}

void GdbSession::Abandon() {
    if (finished) return;
    finished = true;
    target.Detach();
}

std::string GdbSession::StopReply(const StopInfo& stop) const {
    switch (stop.reason) {
    case StopReason::Interrupted: return "T02thread:01;";
    case StopReason::Start:
    case StopReason::None: return "S05";
    case StopReason::Watchpoint: {
        if (stop.space != WatchSpace::Memory) return "T05thread:01;";
        // A watchpoint of GDB's own names its kind; one set in the window is
        // reported as an access watchpoint.
        const char* kind = stop.access == WatchRead ? "rwatch" : "watch";
        char text[48];
        std::snprintf(text, sizeof text, "T05%s:%04x;thread:01;", kind, stop.address);
        return text;
    }
    case StopReason::Breakpoint: return swbreak ? "T05swbreak:;thread:01;" : "T05thread:01;";
    default: return "T05thread:01;";
    }
}

std::string GdbSession::Handle(const std::string& packet) {
    if (packet.empty()) return {};
    const char command = packet[0];
    const std::string_view args = std::string_view(packet).substr(1);
    // Only the interrupt means anything while the target runs.
    if (waiting && !target.IsStopped()) return "E01";
    switch (command) {
    case '?': return StopReply(target.LastStop());
    case 'g': return ReadRegisters();
    case 'G': return WriteRegisters(args) ? "OK" : "E01";
    case 'p': return ReadRegister(args);
    case 'P': return WriteRegister(args);
    case 'm': return ReadMemory(args);
    case 'M': return WriteMemory(args, false);
    case 'X': return WriteMemory(args, true);
    case 'c':
    case 's': return Resume(command, args);
    case 'C':
    case 'S': { // the signal is ignored: nothing on this machine receives one
        const size_t semicolon = args.find(';');
        return Resume(static_cast<char>(command + ('a' - 'A')),
                      semicolon == std::string_view::npos ? std::string_view() : args.substr(semicolon + 1));
    }
    case 'Z': return Point(args, true);
    case 'z': return Point(args, false);
    case 'H': return "OK";
    case 'T': return "OK";
    case 'D':
        finished = true;
        target.Detach();
        return "OK";
    case 'k':
        finished = true;
        target.Kill();
        return {};
    case 'q':
    case 'Q': return Query(packet);
    case 'v':
        if (packet == "vCont?") return "vCont;c;C;s;S";
        if (packet.rfind("vCont;", 0) == 0) {
            // One thread: the first action is the one that applies.
            const char action = packet.size() > 6 ? packet[6] : 'c';
            if (action == 'c' || action == 'C') return Resume('c', {});
            if (action == 's' || action == 'S') return Resume('s', {});
            return "E01";
        }
        return {}; // vMustReplyEmpty and anything else unknown
    default: return {};
    }
}

std::string GdbSession::ReadRegisters() {
    const Z80Registers r = target.Registers();
    std::string out;
    for (int n = 0; n < RegisterCount; ++n) out += EncodeRegister(r, n);
    return out;
}

bool GdbSession::WriteRegisters(std::string_view hex) {
    Z80Registers r = target.Registers();
    size_t at = 0;
    for (int n = 0; n < RegisterCount && at < hex.size(); ++n) {
        const size_t digits = static_cast<size_t>(RegisterBytes(n)) * 2;
        std::string bytes;
        if (at + digits > hex.size() || !DecodeHex(hex.substr(at, digits), bytes)) return false;
        uint32_t v = static_cast<uint8_t>(bytes[0]);
        if (digits == 4) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[1])) << 8;
        SetRegister(r, n, v);
        at += digits;
    }
    if (at != hex.size()) return false;
    target.SetRegisters(r);
    return true;
}

std::string GdbSession::ReadRegister(std::string_view args) {
    uint32_t n;
    if (!ParseNumber(args, n) || n >= RegisterCount) return "E01";
    return EncodeRegister(target.Registers(), static_cast<int>(n));
}

std::string GdbSession::WriteRegister(std::string_view args) {
    const size_t eq = args.find('=');
    uint32_t n;
    std::string bytes;
    if (eq == std::string_view::npos || !ParseNumber(args.substr(0, eq), n) || n >= RegisterCount ||
        !DecodeHex(args.substr(eq + 1), bytes) || bytes.size() != static_cast<size_t>(RegisterBytes(static_cast<int>(n))))
        return "E01";
    uint32_t v = static_cast<uint8_t>(bytes[0]);
    if (bytes.size() == 2) v |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[1])) << 8;
    Z80Registers r = target.Registers();
    SetRegister(r, static_cast<int>(n), v);
    target.SetRegisters(r);
    return "OK";
}

std::string GdbSession::ReadMemory(std::string_view args) {
    uint32_t address, length;
    if (!ParseAddressLength(args, address, length, nullptr, 0)) return "E01";
    if (address > 0xFFFF) return "E14"; // nothing lies past the 64 KB the processor sees
    // A shorter reply than asked is allowed: up to the top of memory, and no
    // more than a packet holds.
    length = std::min<uint32_t>({length, 0x10000 - address, GdbPacketReader::MaxPayload / 2});
    std::string out;
    out.reserve(length * 2);
    for (uint32_t i = 0; i < length; ++i) out += Hex8(target.Peek(static_cast<uint16_t>(address + i)));
    return out;
}

std::string GdbSession::WriteMemory(std::string_view args, bool binary) {
    uint32_t address, length;
    std::string_view tail;
    if (!ParseAddressLength(args, address, length, &tail, ':')) return "E01";
    std::string bytes;
    if (binary) bytes = std::string(tail);
    else if (!DecodeHex(tail, bytes)) return "E01";
    if (bytes.size() != length) return "E01";
    if (length == 0) return "OK";
    if (address > 0xFFFF || address + length > 0x10000) return "E14";
    for (uint32_t i = 0; i < length; ++i)
        if (!target.Poke(static_cast<uint16_t>(address + i), static_cast<uint8_t>(bytes[i]))) return "E03";
    return "OK";
}

std::string GdbSession::Point(std::string_view args, bool insert) {
    // type,addr,kind
    const size_t comma = args.find(',');
    uint32_t type, address, length;
    if (comma == std::string_view::npos || !ParseNumber(args.substr(0, comma), type) || type > 4) return {};
    std::string_view rest = args.substr(comma + 1);
    const size_t cond = rest.find(';'); // conditions evaluated by the target are not offered
    if (cond != std::string_view::npos) rest = rest.substr(0, cond);
    if (!ParseAddressLength(rest, address, length, nullptr, 0) || address > 0xFFFF) return "E01";
    if (type >= 2 && (length == 0 || length > 0x10000 - address)) return "E01";
    const auto len = static_cast<uint16_t>(type >= 2 ? length - 1 : 0) ;
    const bool ok = insert ? target.InsertPoint(static_cast<int>(type), static_cast<uint16_t>(address), len)
                           : target.RemovePoint(static_cast<int>(type), static_cast<uint16_t>(address), len);
    return ok ? "OK" : "E01";
}

std::string GdbSession::Resume(char action, std::string_view address) {
    if (!address.empty()) {
        uint32_t pc;
        if (!ParseNumber(address, pc) || pc > 0xFFFF) return "E01";
        Z80Registers r = target.Registers();
        r.PC = pc;
        target.SetRegisters(r);
    }
    resumedSerial = target.StopSerial();
    waiting = true;
    if (action == 's') target.Step();
    else target.Continue();
    return {};
}

std::string GdbSession::Query(const std::string& packet) {
    if (packet.rfind("qSupported", 0) == 0) {
        swbreak = packet.find("swbreak+") != std::string::npos;
        return "PacketSize=4000;qXfer:features:read+;QStartNoAckMode+;swbreak+;hwbreak+;vContSupported+";
    }
    if (packet == "QStartNoAckMode") {
        noAck = true;
        return "OK";
    }
    if (packet == "qAttached") return "1";
    if (packet == "qC") return "QC01";
    if (packet == "qfThreadInfo") return "m01";
    if (packet == "qsThreadInfo") return "l";
    if (packet.rfind("qSymbol", 0) == 0) return "OK";
    if (packet.rfind("qRcmd,", 0) == 0) return MonitorCommand(std::string_view(packet).substr(6));
    const std::string_view xfer = "qXfer:features:read:";
    if (packet.rfind(xfer, 0) == 0) {
        const std::string_view rest = std::string_view(packet).substr(xfer.size());
        const size_t colon = rest.find(':');
        if (colon == std::string_view::npos || rest.substr(0, colon) != "target.xml") return "E00";
        uint32_t offset, length;
        if (!ParseAddressLength(rest.substr(colon + 1), offset, length, nullptr, 0)) return "E01";
        const std::string& xml = GdbTargetXml();
        if (offset >= xml.size()) return "l";
        length = std::min<uint32_t>(length, GdbPacketReader::MaxPayload / 2);
        const std::string part = xml.substr(offset, length);
        return (offset + part.size() >= xml.size() ? "l" : "m") + EscapeBinary(part);
    }
    return {};
}

std::string GdbSession::MonitorCommand(std::string_view hex) {
    std::string command;
    if (!DecodeHex(hex, command)) return "E01";
    while (!command.empty() && (command.back() == ' ' || command.back() == '\n')) command.pop_back();
    if (command == "reset") {
        target.Reset();
        return GdbHex("Cold boot done; the machine is stopped at 0000.\n");
    }
    if (command == "help" || command.empty())
        return GdbHex("monitor reset: cold-boots the machine (config.txt read again), which stays stopped.\n");
    return GdbHex("Unknown monitor command '" + command + "'. Try 'monitor help'.\n");
}
