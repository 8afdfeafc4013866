#include "board/Vexaboard.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "audio/Vexaaudio.h"
#include "board/Utils.h"
#include "cpu/CPUThread.h"
#include "devices/Vexakeyboard.h"
#include "devices/Vexamathsassist.h"
#include "devices/Vexamouse.h"
#include "devices/Vexapic.h"
#include "devices/Vexasdmmccard.h"
#include "devices/Vexatimer.h"
#include "diag/Diag.h"
#include "host/Host.h"
#include "video/DisplayThread.h"
#include "video/Vexavideo.h"

std::atomic<TVexaBoard*> VexaBoard{nullptr};
std::atomic<int> BreakpointAddress{0x10000};
std::atomic<uint32_t> CpuCycleCount{0};

namespace {

const char* const kResetQuestion =
    "There are writes to the SD Card which have not\ryet been committed to disk. Should these be\r"
    "written before a reset is performed?\r(NOTE: If you select NO, uncommitted writes\rwill be discarded!!)";
const char* const kQuitQuestion =
    "There are writes to the SD Card which have not\ryet been committed to disk. Should these be\r"
    "written before quitting?\r(NOTE: If you select NO, uncommitted writes\rwill be discarded!!)";
const char* const kUnwrittenCaption = "Unwritten SD Card Changes";

constexpr size_t MaxWordLength = 99;
constexpr size_t MaxPathLength = 259;

// Reads config.txt word by word, as the configuration format defines words:
// runs of characters between whitespace.
class ConfigReader {
public:
    explicit ConfigReader(std::string text) : text_(std::move(text)) {}

    bool AtEnd() const { return pos_ >= text_.size(); }

    // The next word; hitEnd tells whether the end of the file came before any
    // whitespace after it (a keyword read that way is not acted on).
    std::string ReadWord(bool* hitEnd) {
        SkipWhitespace();
        const size_t start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_])) ++pos_;
        if (hitEnd) *hitEnd = pos_ >= text_.size();
        return text_.substr(start, pos_ - start);
    }

    void SkipWhitespace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
    }

private:
    static bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

    std::string text_;
    size_t pos_ = 0;
};

std::string ToLower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A path longer than the format allows is taken as naming no file at all.
bool PathIsUsable(const std::string& path) {
    if (path.size() <= MaxPathLength) return true;
    DIAG_POST_C(DIAG_VEXA_MISC, "config.txt: path of %zu characters is longer than %zu and is ignored", path.size(),
                MaxPathLength);
    return false;
}

} // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

TVexaBoard::TVexaBoard(Host* host, bool startThreads) : windowHandle(host) {
    video = new TVexaVideo(this);
    pic = new TVexaPIC;
    timer = new TVexaTimer;
    keyboard = new TVexaKeyboard;
    mouse = new TVexaMouse;
    maths = new TVexaMathsAssist;
    sdCard = new TVexaSDCard;
    audio = new TVexaAudioSystem(host, this);
    UpdatePaging();
    ColdBoot();
    if (startThreads) {
        displayThread = new VideoThread(this);
        displayThread->Start();
        cpuThread = new Z80Thread(this);
        cpuThread->Start();
    }
}

TVexaBoard::~TVexaBoard() {
    // Normally Shutdown has stopped the threads already; never leave one
    // running over a board that is going away.
    delete displayThread;
    delete cpuThread;
    delete sdCard;
    delete maths;
    delete mouse;
    delete keyboard;
    delete timer;
    delete pic;
    delete video;
    delete audio;
}

// ---------------------------------------------------------------------------
// Memory map

void TVexaBoard::UpdatePaging() {
    lowBase = static_cast<uint32_t>(sys_low_page & 0x0F) << 15;
    // A tag that no address matches while the window is off.
    vramWindowTag = (sys_mem_select & 0x40) ? VramWindowBase : 0x0001;
    const bool pageZeroAllowed = (sys_alt_write_page & 0x20) != 0;
    const uint32_t readPage = sys_mem_select & 0x0F;
    upperReadBase = (readPage < 2 && !pageZeroAllowed) ? 0x8000 : readPage << 15;
    if (sys_mem_select & 0x10) {
        const uint32_t altPage = sys_alt_write_page & 0x0F;
        upperWriteBase = (altPage < 2 && !pageZeroAllowed) ? 0x8000 : altPage << 15;
    } else {
        // Writes through sys_mem_select: pages 0 and 1 both give page 1.
        upperWriteBase = readPage < 2 ? 0x8000 : readPage << 15;
    }
}

uint8_t TVexaBoard::ReadMem(uint16_t a) {
    if (a >= 0x2000) [[likely]] {
        if ((a & 0xE000) == vramWindowTag) return video->ReadVramWindow(a);
        if (a & 0x8000) return MainRam[upperReadBase | (a & 0x7FFFu)];
        return MainRam[lowBase | a];
    }
    return ReadLowArea(a);
}

// 0x0000-0x1FFF: the boot ROM overlay and the register area.
uint8_t TVexaBoard::ReadLowArea(uint16_t a) {
    if (a < 0x0200) return (sys_alt_write_page & 0x50) == 0 ? BootRom[a] : MainRam[lowBase | a];
    if (a < 0x1000 && !(sys_alt_write_page & 0x80)) {
        if (a == 0x0700) return video->ReadStatus();
        if (a == 0x0704) return maths->ReadResultLow();
        if (a == 0x0705) return maths->ReadResultHigh();
    }
    return MainRam[lowBase | a];
}

void TVexaBoard::WriteMem(uint16_t a, uint8_t v) {
    if (a >= 0x2000 && !(sys_mem_select & 0x20)) [[likely]] {
        // Above 0x8000 the VRAM window is seen by reads only.
        if (a & 0x8000) MainRam[upperWriteBase | (a & 0x7FFFu)] = v;
        else if ((a & 0xE000) == vramWindowTag) video->WriteVramWindow(a, v);
        else MainRam[lowBase | a] = v;
        return;
    }
    WriteRoutedArea(a, v);
}

// VRAM write mode, the sprite window, the palette and the register area.
void TVexaBoard::WriteRoutedArea(uint16_t a, uint8_t v) {
    const uint8_t sel = sys_mem_select;
    if (a >= 0x2000) {
        video->WriteVramDirect(a, v);
        return;
    }
    if (a >= 0x1000) {
        if ((sel & 0xA0) == 0x80) video->WriteSpriteWindow(a, v);
        else if (sel & 0x20) video->WriteVramDirect(a, v);
        else MainRam[lowBase | a] = v;
        return;
    }
    // 0x0000-0x0FFF: VRAM write mode applies here only while the window is off.
    if ((sel & 0x60) == 0x20) {
        video->WriteVramDirect(a, v);
        return;
    }
    if (a < 0x0200) {
        if ((sys_alt_write_page & 0x50) == 0x40) MainRam[lowBase | a] = v;
        else video->WritePalette(a, v);
        return;
    }
    if (a >= 0x0800 || (sys_alt_write_page & 0x80)) {
        MainRam[lowBase | a] = v;
        return;
    }
    if (a >= 0x0600) maths->WriteTableByte(a & 0x1FF, v);
    else if (a >= 0x0400) video->WriteSpriteRegister(a, v);
    else if (a == 0x0208) maths->WriteMultiplierLow(v);
    else if (a == 0x0209) maths->WriteMultiplierHigh(v);
    else if (a == 0x020A) maths->SelectIndex(v);
    else video->WriteRegister(a, v);
}

void TVexaBoard::WriteVideoSpace(uint16_t a, uint8_t v) {
    if (a < 0x0200) video->WritePalette(a, v);
    else if (a < 0x0400) {
        if (a == 0x0208) maths->WriteMultiplierLow(v);
        else if (a == 0x0209) maths->WriteMultiplierHigh(v);
        else if (a == 0x020A) maths->SelectIndex(v);
        else video->WriteRegister(a, v);
    } else if (a < 0x0600) video->WriteSpriteRegister(a, v);
    else maths->WriteTableByte(a & 0x1FF, v);
}

// ---------------------------------------------------------------------------
// Ports

void TVexaBoard::OutPort(uint16_t port, uint8_t v) {
    const unsigned pc = Regs.PC;
    switch (port & 0x3F) {
    case 0x00:
        sys_mem_select = v;
        UpdatePaging();
        DIAG_POST_C(DIAG_VEXA_MISC, "sys_mem_select Write 0x%2.2x @ 0x%4.4x", v, pc);
        break;
    case 0x01:
        sys_irq_enable = v;
        DIAG_POST_C(DIAG_VEXA_MISC, "sys_irq_enable Write 0x%2.2x @ 0x%4.4x", v, pc);
        break;
    case 0x02:
        if (v & 0x01) keyboard->AcknowledgeIrq();
        if (v & 0x02) mouse->AcknowledgeIrq();
        if (v & 0x04) timer->ClearIrq();
        for (int bit = 4; bit < 8; ++bit)
            if (v & (1 << bit)) audio->ClearLoopFlag(bit - 4);
        break;
    case 0x03:
        mouse->SetHostLines((v & 0x40) != 0, (v & 0x80) != 0);
        keyboard->SetHostLines((v & 0x10) != 0, (v & 0x20) != 0);
        break;
    case 0x05: sdCard->WriteControl(v); break;
    case 0x06: sdCard->WriteSelect(v); break;
    case 0x07: timer->WriteSeed(v); break;
    case 0x08: audio->WriteChannelEnable(v); break;
    case 0x0A: sdCard->WriteSpi(v); break;
    case 0x0B:
        sys_alt_write_page = v;
        UpdatePaging();
        DIAG_POST_C(DIAG_VEXA_MISC, "sys_alt_write_page Write 0x%2.2x @ 0x%4.4x", v, pc);
        break;
    case 0x0D: pic->WriteLines((v & 0x02) != 0, (v & 0x01) != 0); break;
    case 0x20:
        sys_low_page = v & 0x0F;
        UpdatePaging();
        DIAG_POST_C(DIAG_VEXA_MISC, "sys_low_page Write 0x%2.2x @ 0x%4.4x", v, pc);
        break;
    case 0x21:
        VramWindowBase = static_cast<uint16_t>((v & 7) << 13);
        if (VramWindowBase == 0) VramWindowBase = 0x2000;
        UpdatePaging();
        DIAG_POST_C(DIAG_VEXA_MISC, "sys_vram_location Write 0x%2.2x (0x%4.4x) @ 0x%4.4x", v, VramWindowBase, pc);
        break;
    default:
        if ((port & 0x30) == 0x10) audio->WriteRegister(port & 0x3F, static_cast<uint16_t>((port & 0xFF00) | v));
        else if ((port & 0x30) == 0x30) DIAG_POST_C(DIAG_CPU, "Wrote 0x%2.2x to Port 0x%2.2x @ 0x%4.4x", v, port, pc);
        break;
    }
}

uint8_t TVexaBoard::InPort(uint16_t port) {
    const unsigned pc = Regs.PC;
    switch (port & 0x3F) {
    case 0x00: return sys_mem_select;
    case 0x01:
        return static_cast<uint8_t>((mouse->DeviceData() << 7) | (mouse->DeviceClock() << 6) |
                                    (keyboard->DeviceData() << 5) | (keyboard->DeviceClock() << 4) |
                                    (video->IsRasterIrqPending() << 3) | (timer->IsIrqSet() << 2) |
                                    (mouse->HasData() << 1) | keyboard->HasData());
    case 0x02: return keyboard->ReadQueuedByte();
    case 0x03: return mouse->ReadQueuedByte();
    case 0x06: return sdCard->ReadSelect();
    case 0x07: return video->ReadStatus();
    case 0x08: return audio->ReadStatus();
    case 0x09: {
        // Bit 7 spells out the constant 0x665 a bit at a time, selected by the
        // high byte of the port address. Bit 6, the card's flag, is always 0.
        const unsigned n = (port >> 8) & 0x0F;
        const uint8_t result = static_cast<uint8_t>((((0x665u >> n) & 1) << 7) | 0x20 | (pic->IsDataReady() << 4) |
                                                    (timer->IsIrqSet() << 2) | (mouse->HasData() << 1) |
                                                    keyboard->HasData());
        DIAG_POST_C(DIAG_VEXA_MISC, "Read from SysHW Port (0x%4.4x): 0x%2.2x @ 0x%4.4x", port, result, pc);
        return result;
    }
    case 0x0A: return sdCard->ReadSpi();
    case 0x0B: return sys_alt_write_page;
    case 0x0D: return pic->ReadData();
    case 0x20: return sys_low_page;
    default:
        if ((port & 0x30) == 0x10) return static_cast<uint8_t>(audio->ReadRegister(port & 0x3F));
        if ((port & 0x30) == 0x30) DIAG_POST_C(DIAG_CPU, "Read from Port 0x%2.2x @ 0x%4.4x", port, pc);
        return 0;
    }
}

// ---------------------------------------------------------------------------
// Device clock and interrupts

bool TVexaBoard::Tick(int cycles) {
    // Interrupt sources in the bit positions of sys_irq_enable, with the
    // raster interrupt (which needs only the master bit) as bit 7.
    unsigned sources = video->Tick(cycles) ? 0x80u : 0u;
    if (timer->Tick(cycles)) sources |= 0x04;
    if (keyboard->Tick(cycles)) sources |= 0x01;
    if (mouse->Tick(cycles)) sources |= 0x02;

    AudioCycleAccumulator += static_cast<uint32_t>(cycles);
    if (AudioCycleAccumulator >= AudioStepCycles) [[unlikely]]
        if (StepAudio()) sources |= 0x08;

    CpuCycleCount.store(CpuCycleCount.load(std::memory_order_relaxed) + static_cast<uint32_t>(cycles),
                        std::memory_order_relaxed);

    if (static_cast<int>(Regs.PC & 0xFFFF) == BreakpointAddress.load(std::memory_order_relaxed)) [[unlikely]]
        HitBreakpoint();

    const unsigned enable = sys_irq_enable;
    IrqPending = (enable & 0x80) && (sources & (enable | 0x80) & 0x8F) != 0;
    return IrqPending || NmiRequest.load(std::memory_order_relaxed);
}

// One audio step per call. A HALT hands a whole slice over at once: that step
// is told every whole step's worth of cycles that passed, so that channels
// without an output device (which play on in emulated time) lose none of it,
// while the device's streams are topped up once, as always. Keeping the rest
// as a backlog would instead run a step after every later instruction. Returns
// true when a loop flag asks for the audio interrupt.
bool TVexaBoard::StepAudio() {
    const uint32_t steps = AudioCycleAccumulator / AudioStepCycles;
    audio->UpdateStreams(static_cast<int>(steps * AudioStepCycles));
    AudioCycleAccumulator -= steps * AudioStepCycles;
    return (audio->ReadStatus() & 0xF0) != 0;
}

void TVexaBoard::HitBreakpoint() {
    CycleBudget = -10;
    Running = 0;
    breakpointHit.store(true, std::memory_order_relaxed);
    video->Tick(0x40000); // 256 lines, so that the picture shows the current state
    if (windowHandle) windowHandle->RepaintScreen();
}

int TVexaBoard::TakeInterrupt() {
    if (NmiRequest.exchange(false, std::memory_order_acq_rel)) return -2;
    if (IrqPending && Regs.IFF1) {
        IrqPending = false;
        return 1;
    }
    return -1;
}

void TVexaBoard::Trap(Z80Registers* regs) {
    if (CurrentDiagSink() == nullptr) return;
    const unsigned af = regs->AF, bc = regs->BC, de = regs->DE, hl = regs->HL;
    DiagSendC(DIAG_UNUSED, "PC=0x%4.4x: CPM %s DSK=0x%2.2x TRK=0x%4.4x SEC=0x%4.4x BUF=0x%4.4x", regs->PC,
              (af & 1) ? "WR" : "RD", af >> 8, de, bc, hl);
    DiagSendC(DIAG_UNUSED, "Offset=0x%8.8x", de * 0x8000u + bc * 512u);
}

// ---------------------------------------------------------------------------
// Slices and the pause handshake

void TVexaBoard::RunSlice() {
    CycleBudget = ClockHz() / 120;
    CyclePeriod = CycleBudget >> 4;
    breakpointHit.store(false, std::memory_order_relaxed); // a debugger step may have left it set
    Run();
    PublishRegisters();
    // A breakpoint stops the machine, not just the slice: the CPU thread asks
    // to be paused before its next pass, and whoever takes the stop (the
    // debugger) resumes it. Without a CPU thread the caller drives Run itself.
    if (breakpointHit.exchange(false, std::memory_order_relaxed) && cpuThread) {
        pauseDepth.fetch_add(1, std::memory_order_acq_rel);
        cpuThread->SetPaused(true);
        breakpointStop.store(true, std::memory_order_release);
    }
}

void TVexaBoard::StepInstruction() {
    PauseCpu();
    CyclePeriod = 2;
    CycleBudget = 2;
    Run();
    PublishRegisters();
    ResumeCpu();
}

void TVexaBoard::PauseCpu() {
    if (!cpuThread) return;
    if (pauseDepth.fetch_add(1, std::memory_order_acq_rel) == 0) cpuThread->SetPaused(true);
    while (!cpuThread->IsPauseAcknowledged()) SleepMs(Z80Thread::PausePollMs);
}

void TVexaBoard::ResumeCpu() {
    if (!cpuThread) return;
    // Only the UI thread pauses and resumes, and only while the CPU thread is
    // parked, so the count cannot change under this test.
    if (pauseDepth.load(std::memory_order_acquire) <= 0) return;
    if (pauseDepth.fetch_sub(1, std::memory_order_acq_rel) == 1) cpuThread->SetPaused(false);
}

bool TVexaBoard::IsCpuHeld() const {
    return cpuThread == nullptr ||
           (pauseDepth.load(std::memory_order_acquire) > 0 && cpuThread->IsPauseAcknowledged());
}

Z80Registers TVexaBoard::RegisterSnapshot() const {
    std::lock_guard<std::mutex> lock(snapshotMutex);
    return snapshot;
}

void TVexaBoard::PublishRegisters() {
    std::lock_guard<std::mutex> lock(snapshotMutex);
    snapshot = Regs;
}

bool TVexaBoard::TakeSdReadLamp() { return sdCard && sdCard->TakeReadLamp(); }
bool TVexaBoard::TakeSdWriteLamp() { return sdCard && sdCard->TakeWriteLamp(); }

// ---------------------------------------------------------------------------
// Cold boot, close and shutdown

void TVexaBoard::ResetBoardRegisters() {
    sys_mem_select = 0;
    sys_alt_write_page = 0;
    sys_low_page = 0;
    sys_irq_enable = 0;
    NmiRequest.store(false, std::memory_order_relaxed);
    IrqPending = false;
    VramWindowBase = 0x2000;
    AudioCycleAccumulator = 0;
    UpdatePaging();
}

bool TVexaBoard::CommitSdImage() {
    if (sdCard->CommitImage(SdImagePath)) return true;
    if (windowHandle) {
        std::string text = "The SD Card image could not be written to\r" + SdImagePath;
        if (!sdCard->CommitError().empty()) text += "\r(" + sdCard->CommitError() + ")";
        text += "\rThe changes are still held in memory: nothing has been\rreset or closed, and the image file is unchanged.";
        windowHandle->ShowMessage(text, "SD Card Write Failed", MsgButtons::Ok, MsgIcon::Error);
    }
    return false;
}

// Asks whether uncommitted card writes should be saved first. Returns false
// when the caller must stop: the user cancelled, or saving failed (the writes
// are kept, and the next attempt asks again even under "nowriteprompt" so that
// the user can choose to discard them). The CPU thread must be paused.
bool TVexaBoard::AskToCommit(const char* question) {
    if (!SdWriteEnable || !sdCard->HasUncommittedWrites()) return true;
    MsgAnswer answer = MsgAnswer::Yes;
    if (!SdNoWritePrompt || lastCommitFailed)
        answer = windowHandle ? windowHandle->ShowMessage(question, kUnwrittenCaption, MsgButtons::YesNoCancel,
                                                          MsgIcon::Question)
                              : MsgAnswer::Cancel;
    if (answer == MsgAnswer::Cancel) return false;
    if (answer == MsgAnswer::Yes) {
        lastCommitFailed = !CommitSdImage();
        return !lastCommitFailed;
    }
    lastCommitFailed = false; // the user chose to discard the writes
    return true;
}

bool TVexaBoard::ReadConfiguration() {
    std::ifstream file("config.txt", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ConfigReader config(std::move(text));

    while (!config.AtEnd()) {
        bool hitEnd = false;
        std::string word = config.ReadWord(&hitEnd);
        if (hitEnd) break; // a keyword with no line end after it is not acted on
        word = word.size() > MaxWordLength ? std::string() : ToLower(word);

        if (word == "bootrom") {
            const std::string path = config.ReadWord(nullptr);
            config.SkipWhitespace();
            if (!PathIsUsable(path) || !IsExistingFile(path)) {
                if (windowHandle) {
                    windowHandle->ShowMessage("Boot ROM file not found", "Fatal File Load Error", MsgButtons::Ok,
                                              MsgIcon::Error);
                    windowHandle->RequestTerminate();
                }
                return false;
            }
            std::ifstream rom(path, std::ios::binary);
            rom.read(reinterpret_cast<char*>(BootRom), BootRomSize);
        } else if (word == "eeprom") {
            const std::string hex = config.ReadWord(nullptr);
            const std::string path = config.ReadWord(nullptr);
            const int offset = hex.size() > MaxWordLength ? -1 : ParseHex(hex);
            if (PathIsUsable(path) && IsExistingFile(path)) pic->LoadEeprom(path, offset);
            else if (windowHandle)
                windowHandle->ShowMessage("EEPROM file not found, skipping", "File Load Error", MsgButtons::Ok,
                                          MsgIcon::Warning);
        } else if (word == "sdcard") {
            config.ReadWord(nullptr); // the card type is read and not used
            SdImagePath = config.ReadWord(nullptr);
            if (PathIsUsable(SdImagePath) && IsExistingFile(SdImagePath)) sdCard->LoadImage(SdImagePath);
            else if (windowHandle)
                windowHandle->ShowMessage("SDCARD image not found, skipping", "File Load Error", MsgButtons::Ok,
                                          MsgIcon::Warning);
        } else if (word == "writeenable") {
            SdWriteEnable = true;
        } else if (word == "nowriteprompt") {
            SdNoWritePrompt = true;
        } else {
            config.SkipWhitespace();
        }
    }
    return true;
}

void TVexaBoard::ColdBoot() {
    PauseCpu();
    if (!AskToCommit(kResetQuestion)) {
        ResumeCpu();
        return;
    }

    std::memset(MainRam, 0, sizeof MainRam);
    std::memset(BootRom, 0, sizeof BootRom);

    if (!IsExistingFile("config.txt")) {
        if (windowHandle) {
            windowHandle->ShowMessage("Configuration file not found", "Fatal Configuration Error", MsgButtons::Ok,
                                      MsgIcon::Error);
            windowHandle->RequestTerminate();
        }
        return; // the CPU thread stays parked: the application is ending
    }

    SdWriteEnable = SdNoWritePrompt = false;
    SdImagePath.clear();
    if (!ReadConfiguration()) return;

    pic->Reset();
    video->Reset();
    timer->Reset();
    keyboard->Reset();
    mouse->Reset();
    maths->Reset();
    sdCard->Reset();
    Reset();
    ResetBoardRegisters();
    PublishRegisters();

    if (windowHandle) windowHandle->RepaintStatusBar();
    ResumeCpu();
}

// The card image is read while the CPU thread is parked, and it stays parked
// when the window may close, so that no write slips in between the answer and
// Shutdown.
bool TVexaBoard::QueryClose() {
    if (!SdWriteEnable) return true; // nothing is ever written back
    PauseCpu();
    const bool mayClose = AskToCommit(kQuitQuestion);
    if (!mayClose) ResumeCpu();
    return mayClose;
}

void TVexaBoard::WriteDump(const char* name, const uint8_t* data, size_t size) {
    std::string error;
    if (!WriteFileAtomically(name, data, size, &error))
        throw std::runtime_error(std::string("Cannot write ") + name + ": " + error);
}

void TVexaBoard::Shutdown() {
    if (displayThread) {
        displayThread->Terminate();
        delete displayThread;
        displayThread = nullptr;
    }
    if (cpuThread) {
        cpuThread->Terminate();
        delete cpuThread;
        cpuThread = nullptr;
    }
    WriteDump("main.ram", MainRam, sizeof MainRam);
    WriteDump("video.ram", video->vram, sizeof video->vram);
    WriteDump("sprite.ram", video->spriteRam, sizeof video->spriteRam);
    WriteDump("palette.ram", video->paletteRam, sizeof video->paletteRam);
}
