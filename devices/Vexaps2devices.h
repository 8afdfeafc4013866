// A PS/2 port: the host-to-device direction bit by bit from the host's line
// changes, the device-to-host direction as a 32-byte queue that the CPU reads.
#pragma once

#include <atomic>
#include <cstdint>

class TVexaPS2Device {
public:
    TVexaPS2Device();

    virtual void ReceiveByte(uint8_t b) = 0; // a complete byte from the host
    virtual void Reset();

    void SetHostLines(bool clockPull, bool dataPull);
    // After every instruction; cheap unless a host-to-device transfer runs.
    bool Tick(int cycles) {
        if (!receiving) return HasData();
        return TickReceiving(cycles);
    }
    // Producer side of the output queue: the CPU thread (replies) or the UI
    // thread (host keys).
    void QueueByte(uint8_t b);
    uint8_t ReadQueuedByte();
    bool HasData() const {
        return readIndex.load(std::memory_order_acquire) != writeIndex.load(std::memory_order_acquire);
    }
    bool DeviceClock() const { return deviceClock; }
    bool DeviceData() const { return deviceData; }
    void AcknowledgeIrq();

protected:
    ~TVexaPS2Device() = default;

private:
    bool TickReceiving(int cycles);

    bool receiving = false;
    bool deviceClock = false;
    bool deviceData = false;
    std::atomic<uint8_t> readIndex{0};
    std::atomic<uint8_t> writeIndex{0};
};
