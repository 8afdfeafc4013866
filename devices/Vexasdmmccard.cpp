#include "devices/Vexasdmmccard.h"

#include <algorithm>
#include <cstring>

#include "diag/Diag.h"

namespace {

// Card identification: manufacturer 02, OEM "VX", product "CARD1", revision
// 1.0, serial number 0x01234567, the date field AC 00 and the closing byte.
constexpr uint8_t kCid[16] = {0x02, 'V',  'X',  'C',  'A',  'R',  'D',  '1',
                              0x10, 0x01, 0x23, 0x45, 0x67, 0xAC, 0x00, 0x01};

// Data response tokens: the card answers an accepted block with 0x04, not
// the usual 0x05, and software written for it expects that.
constexpr uint8_t DataAccepted = 0x04;
constexpr uint8_t DataWriteError = 0x0D;

} // namespace

TVexaSDCard::TVexaSDCard(DiagChannel* channel) : diag(channel) {
    Reset();
}

TVexaSDCard::~TVexaSDCard() = default;

void TVexaSDCard::Reset() {
    selectLatch = 0;
    controlLatch = 0;
    state = Idle;
    appCommand = false;
    readLamp.store(false, std::memory_order_relaxed);
    writeLamp.store(false, std::memory_order_relaxed);
    uncommitted.store(false, std::memory_order_release);
    EmptyQueue();
}

// ---------------------------------------------------------------------------
// Ports

void TVexaSDCard::WriteSelect(uint8_t v) {
    // Kept inverted, so that the reset value of the latch reads as both lines high.
    selectLatch = static_cast<uint8_t>(~v & 0x0C);
}

uint8_t TVexaSDCard::ReadSelect() const {
    return static_cast<uint8_t>(selectLatch ^ 0x0C);
}

void TVexaSDCard::WriteControl(uint8_t v) {
    controlLatch = static_cast<uint8_t>(v & 0xC0);
}

uint8_t TVexaSDCard::ReadSpi() {
    if (responseRead == responseWrite) return 0x00;
    const uint8_t b = responses[responseRead];
    responseRead = static_cast<uint16_t>((responseRead + 1) % ResponseQueueSize);
    readLamp.store(true, std::memory_order_relaxed);
    return b;
}

void TVexaSDCard::WriteSpi(uint8_t b) {
    switch (state) {
    case Idle:
        // Fill bytes (0xFF) and the CRC bytes after a data block land here.
        if ((b & 0xC0) == 0x40) {
            command = b & 0x3F;
            argument = 0;
            state = Argument1;
        }
        break;
    case Argument1:
    case Argument1 + 1:
    case Argument1 + 2:
    case Argument1 + 3:
        argument = (argument << 8) | b;
        ++state;
        break;
    case Crc: Execute(); break;
    case WaitToken:
        if (b == 0xFE) {
            DIAG_POST_C(diag, DIAG_SD_MMC, "Write Start Token Received");
            blockCount = 0;
            state = ReceiveBlock;
        } else if (b != 0xFF) {
            DIAG_POST_C(diag, DIAG_SD_MMC, "Non-$FF Token Received");
            state = Idle;
        }
        break;
    case ReceiveBlock: WriteDataByte(b); break;
    default: state = Idle; break;
    }
}

// ---------------------------------------------------------------------------
// Commands

void TVexaSDCard::Execute() {
    if (appCommand) {
        ExecuteAppCommand();
        return;
    }
    state = Idle;
    switch (command) {
    case 0: {
        DIAG_POST_C(diag, DIAG_SD_MMC, "CMD0_GO_IDLE_STATE");
        EmptyQueue();
        static constexpr uint8_t idle[] = {0xFF, 0x01};
        QueueBytes(idle, 2);
        break;
    }
    case 9: {
        DIAG_POST_C(diag, DIAG_SD_MMC, "CMD9_SEND_CSD");
        // C_SIZE in 256 KB units (C_SIZE_MULT 7, READ_BL_LEN 9): the card
        // reports one unit more than the image holds. The field has 12 bits,
        // so an image of 1 GB or more reports the largest standard-capacity
        // card instead of wrapping to a tiny one.
        const uint32_t c =
            hasImage ? static_cast<uint32_t>(std::min<uint64_t>(image.size() / CsdSizeUnit, MaxCSize)) : 0;
        uint8_t csd[21] = {0xFF, 0x00, 0xFE, // response, then the start token
                           0x00, 0x0E, 0x00, 0x32, 0x5D, 0x59, 0,    0,    0,
                           0x03, 0x80, 0x00, 0x02, 0x40, 0x00, 0x01, 0xFF, 0xFF};
        csd[3 + 6] = static_cast<uint8_t>((c >> 10) & 3);
        csd[3 + 7] = static_cast<uint8_t>((c >> 2) & 0xFF);
        csd[3 + 8] = static_cast<uint8_t>((c & 3) << 6);
        EmptyQueue();
        QueueBytes(csd, 21);
        break;
    }
    case 10: {
        DIAG_POST_C(diag, DIAG_SD_MMC, "CMD10_SEND_CID");
        EmptyQueue();
        static constexpr uint8_t head[] = {0xFF, 0x00, 0xFE}, tail[] = {0xFF, 0xFF};
        QueueBytes(head, 3);
        QueueBytes(kCid, 16);
        QueueBytes(tail, 2);
        break;
    }
    case 17:
        DIAG_POST_C(diag, DIAG_SD_MMC, "CMD55_READ_SINGLE_BLOCK (0x%8.8x)", argument);
        ReadBlock();
        break;
    case 24:
        DIAG_POST_C(diag, DIAG_SD_MMC, "CMD24_WRITE_BLOCK (0x%8.8x)", argument);
        StartWrite();
        state = WaitToken;
        break;
    case 55: {
        DIAG_POST_C(diag, DIAG_SD_MMC, "CMD55_APP_CMD");
        static constexpr uint8_t ok[] = {0xFF, 0x00};
        QueueBytes(ok, 2);
        appCommand = true;
        break;
    }
    default: DIAG_POST_C(diag, DIAG_SD_MMC, "Unsupported Cmd: 0x%2.2x", command); break;
    }
}

// The command after CMD55. Only ACMD41 is known; CMD55 then CMD0 resets nothing.
void TVexaSDCard::ExecuteAppCommand() {
    if (command == 41) {
        DIAG_POST_C(diag, DIAG_SD_MMC, "Processing ACMD41_SEND_OP_COND");
        static constexpr uint8_t ready[] = {0xFF, 0x00};
        QueueBytes(ready, 2);
    } else {
        DIAG_POST_C(diag, DIAG_SD_MMC, "Unsupported AppCmd: 0x%2.2x", command);
    }
    appCommand = false;
    state = Idle;
}

void TVexaSDCard::ReadBlock() {
    EmptyQueue();
    if (!hasImage) {
        Queue(0x60);
        return;
    }
    static constexpr uint8_t start[] = {0x00, 0xFE};
    QueueBytes(start, 2);
    position = argument;
    // Past the end of the image the last byte read in this block is sent
    // again (0 when there is none), as a stream read that fails leaves it.
    uint8_t last = 0;
    for (int i = 0; i < BlockSize; ++i) {
        if (position < image.size()) last = image[position++];
        Queue(last);
    }
    static constexpr uint8_t end[] = {0xFF, 0xFF};
    QueueBytes(end, 2);
}

void TVexaSDCard::StartWrite() {
    if (!hasImage) return;
    position = argument;
    blockRejected = position + BlockSize > sizeLimit;
    if (blockRejected)
        DIAG_POST_C(diag, DIAG_SD_MMC,
                    "Block at 0x%8.8x lies beyond the largest image the card can hold; not written",
                    argument);
    static constexpr uint8_t ok[] = {0xFF, 0x00};
    QueueBytes(ok, 2);
}

void TVexaSDCard::WriteDataByte(uint8_t b) {
    if (!hasImage) return; // no card: the data goes nowhere and the state stays
    if (!blockRejected) {
        writeLamp.store(true, std::memory_order_relaxed);
        if (position >= image.size()) {
            // The image grows to cover the block, zero-filling any gap; the
            // room for the whole block is taken at once.
            const uint64_t blockEnd = position - blockCount + BlockSize;
            if (image.capacity() < blockEnd) {
                // An eighth more (at least 1 MB) each time keeps a card that is
                // filled block by block from being copied over and over,
                // without doubling a large image for one block.
                const uint64_t grown = image.capacity() + std::max<uint64_t>(image.capacity() / 8, 1 << 20);
                image.reserve(std::max(blockEnd, std::min(grown, sizeLimit)));
            }
            image.resize(position);
            image.push_back(b);
        } else {
            image[position] = b;
        }
        ++position;
        uncommitted.store(true, std::memory_order_relaxed);
    }
    if (++blockCount == BlockSize) {
        const uint8_t response[] = {blockRejected ? DataWriteError : DataAccepted, 0xFF};
        QueueBytes(response, 2);
        blockRejected = false;
        state = Idle;
    }
}

// ---------------------------------------------------------------------------
// Response queue

void TVexaSDCard::EmptyQueue() {
    std::memset(responses, 0, sizeof responses);
    responseWrite = responseRead = 0;
}

// A full queue drops the new byte rather than overwrite bytes the CPU has
// not read yet (only a program that never reads its answers gets there).
void TVexaSDCard::Queue(uint8_t b) {
    const uint16_t next = static_cast<uint16_t>((responseWrite + 1) % ResponseQueueSize);
    if (next == responseRead) return;
    responses[responseWrite] = b;
    responseWrite = next;
}

void TVexaSDCard::QueueBytes(const uint8_t* bytes, int count) {
    for (int i = 0; i < count; ++i)
        Queue(bytes[i]);
}

// ---------------------------------------------------------------------------
// The image

void TVexaSDCard::InsertImage(std::vector<uint8_t> bytes) {
    image = std::move(bytes);
    hasImage = true;
    position = 0;
    sizeLimit = std::max<uint64_t>(image.size(), MaxGrownSize);
    uncommitted.store(false, std::memory_order_release);
}

void TVexaSDCard::RemoveImage() {
    std::vector<uint8_t>().swap(image);
    hasImage = false;
    position = 0;
    uncommitted.store(false, std::memory_order_release);
}

void TVexaSDCard::MarkCommitted() { uncommitted.store(false, std::memory_order_release); }

// ---------------------------------------------------------------------------
// Save state: the card's command state. The image is the user's file and is
// not part of it; the machine records a checksum of it instead.

void TVexaSDCard::SaveState(StateWriter& w) const {
    w.U64(position);
    w.Bool(blockRejected);
    w.U8(state);
    w.U8(command);
    w.U32(argument);
    w.Bool(appCommand);
    w.U16(blockCount);
    w.Array(responses, ResponseQueueSize);
    w.U16(responseWrite);
    w.U16(responseRead);
    w.U8(selectLatch);
    w.U8(controlLatch);
}

bool TVexaSDCard::LoadState(StateReader& r) {
    const uint64_t pos = r.U64();
    const bool rejected = r.Bool();
    const uint8_t st = r.U8(), cmd = r.U8();
    const uint32_t arg = r.U32();
    const bool app = r.Bool();
    const uint16_t count = r.U16();
    uint8_t queue[ResponseQueueSize];
    r.Array(queue, ResponseQueueSize);
    const uint16_t wr = r.U16(), rd = r.U16();
    const uint8_t select = r.U8(), control = r.U8();
    // A position past what the card can grow to would make the next write
    // try to allocate it.
    if (pos > std::max<uint64_t>(sizeLimit, MaxImageSize) || st > ReceiveBlock || count > BlockSize ||
        wr >= ResponseQueueSize || rd >= ResponseQueueSize || cmd > 0x3F)
        r.Fail();
    if (!r.Ok()) return false;
    position = pos;
    // A block in progress that the card this machine holds could not take is
    // refused, as it would have been when it started.
    blockRejected = rejected || (st == ReceiveBlock && (pos < count || pos - count + BlockSize > sizeLimit));
    state = st;
    command = cmd;
    argument = arg;
    appCommand = app;
    blockCount = count;
    std::memcpy(responses, queue, ResponseQueueSize);
    responseWrite = wr;
    responseRead = rd;
    selectLatch = select;
    controlLatch = control;
    return true;
}
