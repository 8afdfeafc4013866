#include "devices/Vexaps2devices.h"

#include <cstring>

#include "diag/Diag.h"

namespace {
constexpr uint8_t Next(uint8_t index) {
    return static_cast<uint8_t>((index + 1) & (TVexaPS2Device::QueueSize - 1));
}
} // namespace

TVexaPS2Device::TVexaPS2Device(DiagChannel* channel) : diag(channel) {
    ResetPort();
}

void TVexaPS2Device::Reset() {
    ResetPort();
}

// Runs at cold boot, while the CPU thread is parked and the producer (the UI
// thread) is the caller, so both indices may be written here.
void TVexaPS2Device::ResetPort() {
    DIAG_POST_C(diag, DIAG_KB_MOUSE, "PS2 Reset");
    std::memset(queue, 0, sizeof queue);
    readIndex.store(0, std::memory_order_relaxed);
    writeIndex.store(0, std::memory_order_release);
    replyPos = replyEnd = 0;
    irqLogFlag.store(false, std::memory_order_relaxed);
    hostClock = hostData = true;
    deviceClock = deviceData = false;
    receiving = false;
    // The accumulator, bit count, shift register and parity are set again by
    // the next request to send.
}

void TVexaPS2Device::SetHostLines(bool clockPull, bool dataPull) {
    const bool newClock = !clockPull;
    const bool newData = !dataPull;
    if (hostClock && !newClock) {
        DIAG_POST_C(diag, DIAG_KB_MOUSE, "Comms Inhibited by host");
    } else if (!hostClock && newClock && !newData) {
        DIAG_POST_C(diag, DIAG_KB_MOUSE, "Host is RTS");
        receiving = true;
        CycleAccumulator = 0;
        bitCount = 0;
        shiftRegister = 0;
        parityBit = true;
    }
    hostClock = newClock;
    hostData = newData;
}

bool TVexaPS2Device::TickReceiving(int cycles) {
    CycleAccumulator += cycles;
    // The transfer ends on the twelfth rising edge; the lines then stay put
    // whatever cycles are left over.
    while (receiving && CycleAccumulator > HalfPeriod) {
        CycleAccumulator -= HalfPeriod;
        deviceClock = !deviceClock;
        if (!deviceClock) continue;
        ++bitCount;
        if (bitCount <= 8) {
            // The device samples the host's clock line, not its data line: a
            // host that leaves the clock released sends 0xFF.
            shiftRegister = static_cast<uint8_t>((shiftRegister << 1) | (hostClock ? 1 : 0));
        } else if (bitCount == 9) {
            parityBit = hostClock;
            DIAG_POST_C(diag, DIAG_KB_MOUSE, "Received Data: 0x%2.2x with parity %3s", shiftRegister,
                        parityBit ? "SET" : "CLR");
            deviceData = false;
        } else if (bitCount == 12) {
            receiving = false;
            deviceData = true;
            deviceClock = true;
            ReceiveByte(shiftRegister);
        }
    }
    return HasData();
}

void TVexaPS2Device::QueueBytes(const uint8_t* bytes, int count) {
    uint8_t w = writeIndex.load(std::memory_order_relaxed);
    // The consumer only ever frees slots, so room seen here is still there
    // when the bytes go in; one slot always stays empty to tell full from empty.
    const int waiting = (w - readIndex.load(std::memory_order_acquire)) & (QueueSize - 1);
    if (count <= QueueSize - 1 - waiting) {
        for (int i = 0; i < count; ++i) {
            queue[w] = bytes[i];
            w = Next(w);
        }
        writeIndex.store(w, std::memory_order_release);
    }
    irqLogFlag.store(true, std::memory_order_relaxed);
}

uint8_t TVexaPS2Device::ReadQueuedByte() {
    if (replyPos != replyEnd) {
        irqLogFlag.store(true, std::memory_order_relaxed);
        return reply[replyPos++];
    }
    const uint8_t r = readIndex.load(std::memory_order_relaxed);
    if (r == writeIndex.load(std::memory_order_acquire)) return 0;
    const uint8_t b = queue[r];
    readIndex.store(Next(r), std::memory_order_release);
    irqLogFlag.store(true, std::memory_order_relaxed);
    return b;
}

void TVexaPS2Device::ReplaceQueue(const uint8_t* bytes, int count) {
    readIndex.store(writeIndex.load(std::memory_order_acquire), std::memory_order_release);
    replyPos = 0;
    replyEnd = 0;
    for (int i = 0; i < count && i < MaxReply; ++i)
        reply[replyEnd++] = bytes[i];
    irqLogFlag.store(true, std::memory_order_relaxed);
}

void TVexaPS2Device::AcknowledgeIrq() {
    if (irqLogFlag.exchange(false, std::memory_order_relaxed)) DIAG_POST_C(diag, DIAG_KB_MOUSE, "IRQ Flag Cleared");
}

// ---------------------------------------------------------------------------
// Save state

void TVexaPS2Device::SaveState(StateWriter& w) const {
    w.Bool(hostClock);
    w.Bool(hostData);
    w.Bool(deviceClock);
    w.Bool(deviceData);
    w.I32(CycleAccumulator);
    w.U8(bitCount);
    w.U8(shiftRegister);
    w.Bool(parityBit);
    w.Bool(receiving);
    w.Array(reply, MaxReply);
    w.U8(replyPos);
    w.U8(replyEnd);
    w.Array(queue, QueueSize);
    w.U8(readIndex.load(std::memory_order_acquire));
    w.U8(writeIndex.load(std::memory_order_acquire));
}

bool TVexaPS2Device::LoadState(StateReader& r) {
    const bool hc = r.Bool(), hd = r.Bool(), dc = r.Bool(), dd = r.Bool();
    const int32_t accumulator = r.Ranged(-HalfPeriod, 1 << 30);
    const uint8_t bits = r.U8(), shift = r.U8();
    const bool parity = r.Bool(), rx = r.Bool();
    uint8_t replyBytes[MaxReply];
    r.Array(replyBytes, MaxReply);
    const uint8_t pos = r.U8(), end = r.U8();
    uint8_t bytes[QueueSize];
    r.Array(bytes, QueueSize);
    const uint8_t rd = r.U8(), wr = r.U8();
    if (bits > 12 || pos > end || end > MaxReply || rd >= QueueSize || wr >= QueueSize) r.Fail();
    if (!r.Ok()) return false;
    hostClock = hc;
    hostData = hd;
    deviceClock = dc;
    deviceData = dd;
    CycleAccumulator = accumulator;
    bitCount = bits;
    shiftRegister = shift;
    parityBit = parity;
    receiving = rx;
    std::memcpy(reply, replyBytes, MaxReply);
    replyPos = pos;
    replyEnd = end;
    std::memcpy(queue, bytes, QueueSize);
    readIndex.store(rd, std::memory_order_relaxed);
    writeIndex.store(wr, std::memory_order_release);
    return true;
}
