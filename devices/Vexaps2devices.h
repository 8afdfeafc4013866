// A PS/2 port: the host-to-device direction bit by bit from the host's line
// changes, the device-to-host direction as a 32-byte queue that the CPU reads.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include "board/StateIO.h"

class DiagChannel;

class TVexaPS2Device {
public:
    static constexpr int QueueSize = 32;    // 31 bytes can wait; one slot tells full from empty
    static constexpr int HalfPeriod = 1150; // CPU cycles per device clock edge

    explicit TVexaPS2Device(DiagChannel* diag = nullptr);

    virtual void ReceiveByte(uint8_t b) = 0; // a complete byte from the host
    virtual void Reset();

    void SetHostLines(bool clockPull, bool dataPull);
    // After every instruction; cheap unless a host-to-device transfer runs.
    bool Tick(int cycles) {
        if (!receiving) return HasData();
        return TickReceiving(cycles);
    }
    // T-states until the next clock edge of a transfer from the host (an edge
    // comes once the count passes HalfPeriod); none while idle.
    int CyclesToNextEdge() const { return receiving ? std::max(1, HalfPeriod + 1 - CycleAccumulator) : INT32_MAX; }

    // The output queue has one producer and one consumer, each owning one
    // index, so neither side locks: the producer is whoever feeds the device
    // (the UI thread with host keys), the consumer the CPU thread.
    // QueueByte is the producer side: the byte is dropped when 31 are waiting.
    void QueueByte(uint8_t b) { QueueBytes(&b, 1); }
    // A whole event (a make or break code with its prefixes) or nothing: a
    // program must never read half of a key's code followed by the next key's.
    void QueueBytes(const uint8_t* bytes, int count);
    // Consumer side: the next byte, or 0 when none is waiting.
    uint8_t ReadQueuedByte();
    bool HasData() const {
        return replyPos != replyEnd ||
               readIndex.load(std::memory_order_relaxed) != writeIndex.load(std::memory_order_acquire);
    }
    bool DeviceClock() const { return deviceClock; }
    bool DeviceData() const { return deviceData; }
    void AcknowledgeIrq();

    // Save states: the port's lines, the byte being received and both queues.
    // The keyboard and the mouse each save theirs in a section of their own.
    static constexpr uint16_t StateVersion = 1;
    void SaveState(StateWriter& w) const;
    bool LoadState(StateReader& r);

protected:
    ~TVexaPS2Device() = default;
    DiagChannel* diag;

    static constexpr int MaxReply = 4;
    // The device's own reply, made on the CPU thread: every waiting byte is
    // dropped and the reply is read before anything the producer adds
    // afterwards. The CPU thread is the consumer, so the reply is kept on the
    // consumer's side instead of competing with the producer for its index.
    void ReplaceQueue(const uint8_t* bytes, int count);

private:
    bool TickReceiving(int cycles);
    void ResetPort();

    // Lines: true = released (high).
    bool hostClock = true;
    bool hostData = true;
    bool deviceClock = false;
    bool deviceData = false;

    int32_t CycleAccumulator = 0;
    uint8_t bitCount = 0;
    uint8_t shiftRegister = 0;
    bool parityBit = true;
    bool receiving = false;

    // Set whenever a byte is queued or taken, cleared by the acknowledge; it
    // only decides whether the acknowledge is logged.
    std::atomic<bool> irqLogFlag{false};

    uint8_t reply[MaxReply] = {}; // consumer-only: read before the queue
    uint8_t replyPos = 0;
    uint8_t replyEnd = 0;
    uint8_t queue[QueueSize] = {};
    std::atomic<uint8_t> readIndex{0};  // written only by the consumer
    std::atomic<uint8_t> writeIndex{0}; // written only by the producer (and by Reset, with both sides still)
};
