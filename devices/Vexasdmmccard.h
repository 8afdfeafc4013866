// The SD/MMC card on the SPI port: command parser, response queue, and the
// card image held in memory until it is committed back to its file.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>
#include "board/StateIO.h"

class DiagChannel;

class TVexaSDCard {
public:
    static constexpr int BlockSize = 512;
    static constexpr int ResponseQueueSize = 1024;
    static constexpr uint32_t CsdSizeUnit = 0x40000; // 256 KB per unit of the CSD's C_SIZE
    static constexpr uint32_t MaxCSize = 4095;        // C_SIZE is 12 bits wide
    // Writes may grow the image up to the largest card the CSD can describe
    // (a 12-bit C_SIZE of 256 KB units), or the loaded size if that is larger,
    // so that a program gone wild cannot make it take all the host's memory.
    static constexpr uint64_t MaxGrownSize = 4096ull * CsdSizeUnit;
    // Block addresses are 32-bit byte offsets: a larger image could not be
    // reached, so it is not loaded.
    static constexpr uint64_t MaxImageSize = 0x100000000ull;

    explicit TVexaSDCard(DiagChannel* diag = nullptr);
    ~TVexaSDCard();

    void WriteSpi(uint8_t b);
    uint8_t ReadSpi();
    void WriteSelect(uint8_t v);
    uint8_t ReadSelect() const;
    void WriteControl(uint8_t v);

    // The card's contents, read from its image file by the machine; the card
    // itself does no file work. A new image counts as committed.
    void InsertImage(std::vector<uint8_t> bytes);
    // No card: the image file could not be read.
    void RemoveImage();
    // The image has been written back to its file.
    void MarkCommitted();
    bool HasUncommittedWrites() const { return uncommitted.load(std::memory_order_acquire); }
    bool HasImage() const { return hasImage; }
    // The image as the card holds it (for tests and the debugger).
    const std::vector<uint8_t>& Image() const { return image; }

    bool TakeReadLamp() { return readLamp.exchange(false, std::memory_order_relaxed); }
    bool TakeWriteLamp() { return writeLamp.exchange(false, std::memory_order_relaxed); }
    void Reset();

    // Save states: this unit's own section, written and read while the
    // processor is idle. LoadState leaves the unit as it was when it fails.
    static constexpr uint32_t StateTagId = StateTag("SDMM");
    static constexpr uint16_t StateVersion = 1;
    void SaveState(StateWriter& w) const;
    bool LoadState(StateReader& r);

private:
    enum State : uint8_t {
        Idle = 0,
        Argument1 = 1,
        Crc = 5,
        WaitToken = 6,
        ReceiveBlock = 7,
    };

    void Execute();
    void ExecuteAppCommand();
    void ReadBlock();
    void StartWrite();
    void WriteDataByte(uint8_t b);
    void EmptyQueue();
    void Queue(uint8_t b);
    void QueueBytes(const uint8_t* bytes, int count);

    // The card contents and the current position (block reads and writes
    // start at the command's argument and advance one byte at a time).
    std::vector<uint8_t> image;
    bool hasImage = false;
    uint64_t position = 0;
    uint64_t sizeLimit = MaxGrownSize;
    bool blockRejected = false; // the current write block lies beyond sizeLimit

    uint8_t state = Idle;
    uint8_t command = 0;
    uint32_t argument = 0;
    bool appCommand = false;
    uint16_t blockCount = 0;

    uint8_t responses[ResponseQueueSize] = {};
    uint16_t responseWrite = 0;
    uint16_t responseRead = 0;

    // Read by the UI thread (status bar, close question) while the CPU thread sets them.
    std::atomic<bool> readLamp{false};
    std::atomic<bool> writeLamp{false};
    std::atomic<bool> uncommitted{false};

    uint8_t selectLatch = 0;  // port 0x06 bits 2 and 3
    uint8_t controlLatch = 0; // port 0x05 bits 6 and 7; nothing reads them
    DiagChannel* diag;
};
