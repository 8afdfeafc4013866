#include "devices/Vexapic.h"

#include <climits>
#include <cstring>
#include <vector>

#include "diag/Diag.h"

TVexaPIC::TVexaPIC(DiagChannel* channel) : diag(channel) { Reset(); }

void TVexaPIC::WriteLines(bool clock, bool data) {
    if (clock && !LastClock) {
        if (State == Burst) {
            BurstPulse();
        } else {
            ShiftRegister = static_cast<uint8_t>((ShiftRegister << 1) | (data ? 1 : 0));
            if (++BitCount == 8) {
                ProcessByte(ShiftRegister);
                BitCount = 0;
                ShiftRegister = 0;
            }
        }
    }
    LastClock = clock;
}

// One burst byte per rising edge, whether or not the CPU took the last one.
void TVexaPIC::BurstPulse() {
    DataReady = true;
    DataByte = Eeprom[static_cast<uint32_t>(Value) & (EepromSize - 1)];
    // A burst of length 0 runs until the next cold boot: Remaining goes
    // negative and must never come back round to 0 (nor overflow).
    if (Remaining != INT32_MIN) --Remaining;
    Value = static_cast<int32_t>(static_cast<uint32_t>(Value) + 1u);
    if (Remaining == 0) {
        State = WaitPreamble;
        DIAG_POST_C(diag, DIAG_PIC, "Databurst Complete");
    }
}

uint8_t TVexaPIC::ReadData() {
    DataReady = false;
    return DataByte;
}

void TVexaPIC::ProcessByte(uint8_t b) {
    switch (State) {
    case WaitPreamble:
        if (b == 0x88) {
            State = WaitCommand;
            DIAG_POST_C(diag, DIAG_PIC, "Received Valid 0x88 Preamble");
        } else {
            DIAG_POST_C(diag, DIAG_PIC, "Received Invalid Preamble: 0x%2.2x", b);
        }
        break;
    case WaitCommand:
        Command = b;
        switch (b) {
        case 0x25:
        case 0x37: State = IgnoredByte1; break;
        case 0x98:
        case 0xB8:
        case 0xD4:
        case 0xE2:
        case 0xF5:
            Value = 0;
            State = ArgumentLow;
            break;
        case 0xA1:
            DIAG_POST_C(diag, DIAG_PIC, "Command: RECONFIGURE NOW!");
            State = WaitPreamble;
            break;
        case 0xC9:
            State = Burst;
            DIAG_POST_C(diag, DIAG_PIC, "Command: BEGIN DATABURST!");
            DIAG_POST_C(diag, DIAG_PIC, "Databurst from: 0x%6.6x size(dec): %d bytes", static_cast<unsigned>(BurstAddress),
                        BurstLength);
            Value = BurstAddress;
            Remaining = BurstLength;
            break;
        default:
            DIAG_POST_C(diag, DIAG_PIC, "Received Invalid Command: 0x%2.2x", b);
            State = WaitPreamble;
            break;
        }
        break;
    case IgnoredByte1: State = IgnoredByte2; break;
    case IgnoredByte2:
        State = WaitPreamble;
        DIAG_POST_C(diag, DIAG_PIC, "Command: (4 byte command tbd)");
        break;
    case ArgumentLow:
        Value |= b;
        State = ArgumentMid;
        break;
    case ArgumentMid:
        Value |= b << 8;
        State = ArgumentHigh;
        break;
    case ArgumentHigh:
        Value |= b << 16;
        State = WaitPreamble;
        RunCommand();
        break;
    default: break;
    }
}

void TVexaPIC::RunCommand() {
    switch (Command) {
    case 0xD4:
        BurstAddress = Value;
        DIAG_POST_C(diag, DIAG_PIC, "Command: SET BURST ADDR!");
        break;
    case 0xE2:
        BurstLength = Value;
        DIAG_POST_C(diag, DIAG_PIC, "Command: SET BURST LEN!");
        break;
    case 0xB8: DIAG_POST_C(diag, DIAG_PIC, "Command: SET CONFIG ADDR to 0x%6.6x", static_cast<unsigned>(Value)); break;
    case 0x98: DIAG_POST_C(diag, DIAG_PIC, "Command: ACCEPT PGM DATA!"); break;
    case 0xF5: DIAG_POST_C(diag, DIAG_PIC, "Command: ERASE 64k BLOCK!"); break; // nothing is erased
    default: break;
    }
}

std::string TVexaPIC::LoadEeprom(const std::vector<uint8_t>& bytes, uint64_t size, int offset,
                                 const std::string& path) {
    const char* name = path.c_str();
    const long long fileSize = static_cast<long long>(size);
    std::string refused;
    if (offset < 0) {
        refused = FormatC("EEPROM image %s not loaded: offset %d is not an EEPROM address, %lld bytes skipped", name,
                          offset, fileSize);
    } else if (offset >= EepromSize) {
        refused = FormatC("EEPROM image %s not loaded: offset 0x%x is past the end of the EEPROM, %lld bytes skipped",
                          name, static_cast<unsigned>(offset), fileSize);
    } else {
        const long long room = EepromSize - offset;
        const size_t wanted = static_cast<size_t>(fileSize < room ? fileSize : room);
        if (wanted == 0) return refused; // an empty image: nothing to load, nothing cut
        if (bytes.size() < wanted) {
            // The file shrank between its size and its read: load nothing rather than half.
            refused = FormatC("EEPROM image %s cannot be read: nothing loaded", name);
        } else {
            std::memcpy(Eeprom + offset, bytes.data(), wanted);
            if (fileSize > room)
                refused = FormatC("EEPROM image %s cut: %lld of %lld bytes loaded at 0x%5.5x, the last %lld bytes run "
                                  "past the end of the EEPROM",
                                  name, room, fileSize, static_cast<unsigned>(offset), fileSize - room);
        }
    }
    if (!refused.empty()) DIAG_POST_C(diag, DIAG_PIC, "%s", refused.c_str());
    return refused;
}

void TVexaPIC::Reset() {
    LastClock = false;
    BitCount = 0;
    ShiftRegister = 0;
    State = WaitPreamble;
    Command = 0;
    Value = 0;
    BurstAddress = 0;
    BurstLength = 0;
    DataReady = false;
}

// ---------------------------------------------------------------------------
// Save state: the EEPROM's contents too, since commands may have changed them.

void TVexaPIC::SaveState(StateWriter& w, bool withEeprom) const {
    w.Bool(withEeprom);
    if (withEeprom) w.Array(Eeprom, EepromSize);
    w.Bool(LastClock);
    w.I32(BitCount);
    w.U8(ShiftRegister);
    w.I32(State);
    w.U8(Command);
    w.I32(Value);
    w.I32(BurstAddress);
    w.I32(BurstLength);
    w.I32(Remaining);
    w.Bool(DataReady);
    w.U8(DataByte);
}

bool TVexaPIC::LoadState(StateReader& r) {
    const bool withEeprom = r.Bool();
    std::vector<uint8_t> eeprom(withEeprom ? EepromSize : 0);
    r.Array(eeprom.data(), eeprom.size());
    const bool lastClock = r.Bool();
    const int bitCount = r.Ranged(0, 7);
    const uint8_t shift = r.U8();
    const int state = r.Ranged(WaitPreamble, Burst);
    const uint8_t command = r.U8();
    const int32_t value = r.I32(), burstAddress = r.I32(), burstLength = r.I32(), remaining = r.I32();
    const bool dataReady = r.Bool();
    const uint8_t dataByte = r.U8();
    if (!r.Ok()) return false;
    if (withEeprom) std::memcpy(Eeprom, eeprom.data(), EepromSize);
    LastClock = lastClock;
    BitCount = bitCount;
    ShiftRegister = shift;
    State = state;
    Command = command;
    Value = value;
    BurstAddress = burstAddress;
    BurstLength = burstLength;
    Remaining = remaining;
    DataReady = dataReady;
    DataByte = dataByte;
    return true;
}
