// Save states of the whole machine: each part writes its own tagged, versioned
// section; this file puts them together, checks them, and makes the file.
#include <algorithm>
#include <cstring>

#include "audio/AudioOutput.h"
#include "audio/Vexaaudio.h"
#include "board/Machine.h"
#include "board/StateIO.h"
#include "devices/Vexakeyboard.h"
#include "devices/Vexamathsassist.h"
#include "devices/Vexamouse.h"
#include "devices/Vexapic.h"
#include "devices/Vexasdmmccard.h"
#include "devices/Vexatimer.h"
#include "host/Compressor.h"
#include "host/Files.h"
#include "host/Host.h"
#include "video/Vexavideo.h"

namespace {

// The file: magic, format version, packing method, payload size and CRC,
// stored size, header CRC; then the stored payload.
constexpr char Magic[8] = {'V', 'E', 'X', 'A', 'S', 'T', 'A', 'T'};
constexpr uint16_t FormatVersion = 1;
constexpr size_t HeaderSize = 28;
// No machine state comes near this; a header claiming more is damaged.
constexpr uint32_t MaxPayload = 64u << 20;

constexpr uint32_t MachineTag = StateTag("MACH");
constexpr uint16_t MachineVersion = 1;
constexpr uint32_t KeyboardTag = StateTag("KBD_");
constexpr uint32_t MouseTag = StateTag("MOUS");
constexpr uint32_t AudioQueueTag = StateTag("AOUT");
constexpr uint16_t AudioQueueVersion = 1;

// What the MACH section records about the media the state was taken with.
struct MediaRecord {
    bool recorded = false; // false in a rewind snapshot
    uint32_t bootRomCrc = 0;
    bool hasCard = false;
    uint64_t cardSize = 0;
    uint32_t cardCrc = 0;
};

template <class T> void Put(std::vector<uint8_t>& out, T value) {
    const size_t at = out.size();
    out.resize(at + sizeof value);
    std::memcpy(out.data() + at, &value, sizeof value);
}
template <class T> T Get(const uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Every section a complete state has, with the version this build writes.
struct RequiredSection {
    uint32_t tag;
    uint16_t version;
    const char* what; // for messages
};
constexpr RequiredSection Required[] = {
    {MachineTag, MachineVersion, "machine"},
    {TVexaBoard::StateTagId, TVexaBoard::StateVersion, "processor and memory"},
    {TVexaVideo::StateTagId, TVexaVideo::StateVersion, "video"},
    {TVexaAudioSystem::StateTagId, TVexaAudioSystem::StateVersion, "sound"},
    {TVexaTimer::StateTagId, TVexaTimer::StateVersion, "timer"},
    {TVexaMathsAssist::StateTagId, TVexaMathsAssist::StateVersion, "maths assist"},
    {TVexaPIC::StateTagId, TVexaPIC::StateVersion, "configuration PIC"},
    {TVexaSDCard::StateTagId, TVexaSDCard::StateVersion, "SD card"},
    {KeyboardTag, TVexaPS2Device::StateVersion, "keyboard"},
    {MouseTag, TVexaPS2Device::StateVersion, "mouse"},
};

MediaRecord ReadMedia(StateReader& r) {
    MediaRecord m;
    m.recorded = r.Bool();
    m.bootRomCrc = r.U32();
    m.hasCard = r.Bool();
    m.cardSize = r.U64();
    m.cardCrc = r.U32();
    return m;
}

MediaRecord CurrentMedia(const TVexaBoard& board) {
    MediaRecord m;
    m.recorded = true;
    m.bootRomCrc = Crc32(board.BootRom(), TVexaBoard::BootRomSize);
    const TVexaSDCard& card = *board.SdCard();
    m.hasCard = card.HasImage();
    if (m.hasCard) {
        m.cardSize = card.Image().size();
        m.cardCrc = Crc32(card.Image().data(), card.Image().size());
    }
    return m;
}

} // namespace

std::vector<uint8_t> Machine::CaptureState(bool forRewind) {
    std::vector<uint8_t> out;
    CaptureStateInto(out, forRewind);
    return out;
}

void Machine::CaptureStateInto(std::vector<uint8_t>& out, bool forRewind) {
    out.clear();
    StateWriter w(out, /*checksums=*/!forRewind);

    const MediaRecord media = forRewind ? MediaRecord{} : CurrentMedia(*board);
    w.Begin(MachineTag, MachineVersion);
    w.Bool(media.recorded);
    w.U32(media.bootRomCrc);
    w.Bool(media.hasCard);
    w.U64(media.cardSize);
    w.U32(media.cardCrc);
    w.Bool(random.has_value());
    if (random) random->SaveState(w);
    w.End();

    auto section = [&](uint32_t tag, uint16_t version, auto&& save) {
        w.Begin(tag, version);
        save();
        w.End();
    };
    section(TVexaBoard::StateTagId, TVexaBoard::StateVersion, [&] { board->SaveState(w); });
    section(TVexaVideo::StateTagId, TVexaVideo::StateVersion, [&] { board->Video()->SaveState(w); });
    section(TVexaAudioSystem::StateTagId, TVexaAudioSystem::StateVersion, [&] { board->Audio()->SaveState(w); });
    section(TVexaTimer::StateTagId, TVexaTimer::StateVersion, [&] { board->Timer()->SaveState(w); });
    section(TVexaMathsAssist::StateTagId, TVexaMathsAssist::StateVersion, [&] { board->Maths()->SaveState(w); });
    section(TVexaPIC::StateTagId, TVexaPIC::StateVersion, [&] { board->Pic()->SaveState(w, !forRewind); });
    section(TVexaSDCard::StateTagId, TVexaSDCard::StateVersion, [&] { board->SdCard()->SaveState(w); });
    section(KeyboardTag, TVexaPS2Device::StateVersion, [&] { board->Keyboard()->SaveState(w); });
    section(MouseTag, TVexaPS2Device::StateVersion, [&] { board->Mouse()->SaveState(w); });
    AudioOutput& output = board->Audio()->Output();
    if (output.SavesQueue()) section(AudioQueueTag, AudioQueueVersion, [&] { output.SaveQueue(w); });
}

bool Machine::ApplyState(const std::vector<uint8_t>& payload, std::string* error, bool verify) {
    std::vector<StateSection> sections;
    if (!ParseStateSections(payload.data(), payload.size(), sections, error, verify)) return false;
    for (const RequiredSection& required : Required) {
        const StateSection* s = FindStateSection(sections, required.tag);
        if (s == nullptr) {
            *error = std::string("it has no ") + required.what + " section";
            return false;
        }
        if (s->version > required.version) {
            *error = std::string("its ") + required.what + " section is of a newer version (" +
                     std::to_string(s->version) + ") than this emulator reads (" + std::to_string(required.version) + ")";
            return false;
        }
    }
    for (const StateSection& s : sections) {
        const bool known = s.tag == AudioQueueTag ||
                           std::any_of(std::begin(Required), std::end(Required),
                                       [&](const RequiredSection& required) { return required.tag == s.tag; });
        if (!known) {
            *error = "it holds a section this emulator does not know (" + StateTagName(s.tag) + ")";
            return false;
        }
    }

    // Each part checks its own values before it takes them; should one refuse
    // after others have taken theirs, the machine goes back to how it was.
    std::vector<uint8_t> before = CaptureState(true);
    if (ApplySections(payload, error, verify)) return true;
    std::string ignored;
    ApplySections(before, &ignored, false);
    return false;
}

bool Machine::ApplySections(const std::vector<uint8_t>& payload, std::string* error, bool verify) {
    std::vector<StateSection> sections;
    if (!ParseStateSections(payload.data(), payload.size(), sections, error, verify)) return false;
    auto load = [&](uint32_t tag, const char* what, auto&& apply) {
        const StateSection* s = FindStateSection(sections, tag);
        StateReader r(s->body, s->size, s->version);
        if (apply(r) && r.Ok() && r.AtEnd()) return true;
        *error = std::string("its ") + what + " section holds values this machine cannot take";
        return false;
    };
    const bool ok =
        load(MachineTag, "machine",
             [&](StateReader& r) {
                 ReadMedia(r); // checked before the load, by DescribeMediaChanges
                 if (!r.Bool()) return true; // saved without a seeded generator
                 if (random) return random->LoadState(r);
                 CRandom scratch; // this machine uses rand(): skip the saved one
                 return scratch.LoadState(r);
             }) &&
        load(TVexaBoard::StateTagId, "processor and memory", [&](StateReader& r) { return board->LoadState(r); }) &&
        load(TVexaVideo::StateTagId, "video", [&](StateReader& r) { return board->Video()->LoadState(r); }) &&
        load(TVexaAudioSystem::StateTagId, "sound", [&](StateReader& r) { return board->Audio()->LoadState(r); }) &&
        load(TVexaTimer::StateTagId, "timer", [&](StateReader& r) { return board->Timer()->LoadState(r); }) &&
        load(TVexaMathsAssist::StateTagId, "maths assist",
             [&](StateReader& r) { return board->Maths()->LoadState(r); }) &&
        load(TVexaPIC::StateTagId, "configuration PIC", [&](StateReader& r) { return board->Pic()->LoadState(r); }) &&
        load(TVexaSDCard::StateTagId, "SD card", [&](StateReader& r) { return board->SdCard()->LoadState(r); }) &&
        load(KeyboardTag, "keyboard", [&](StateReader& r) { return board->Keyboard()->LoadState(r); }) &&
        load(MouseTag, "mouse", [&](StateReader& r) { return board->Mouse()->LoadState(r); });
    if (!ok) return false;
    const StateSection* queue = FindStateSection(sections, AudioQueueTag);
    AudioOutput& output = board->Audio()->Output();
    if (queue) {
        StateReader r(queue->body, queue->size, queue->version);
        if (!output.LoadQueue(&r)) {
            *error = "its sound queue section holds values this machine cannot take";
            return false;
        }
    } else {
        output.LoadQueue(nullptr);
    }
    PublishRegisters();
    // Whoever watches sees the loaded picture at once, paused or not.
    frames.Publish(*board->Video());
    if (host) host->RepaintStatusBar();
    return true;
}

std::string Machine::DescribeMediaChanges(const std::vector<uint8_t>& payload) const {
    std::vector<StateSection> sections;
    std::string ignored;
    if (!ParseStateSections(payload.data(), payload.size(), sections, &ignored)) return {};
    const StateSection* s = FindStateSection(sections, MachineTag);
    if (!s) return {};
    StateReader r(s->body, s->size, s->version);
    const MediaRecord saved = ReadMedia(r);
    if (!r.Ok() || !saved.recorded) return {};
    const MediaRecord now = CurrentMedia(*board);
    std::string changes;
    if (saved.bootRomCrc != now.bootRomCrc) changes = "the boot ROM";
    if (saved.hasCard != now.hasCard || saved.cardSize != now.cardSize || saved.cardCrc != now.cardCrc)
        changes += std::string(changes.empty() ? "" : " and ") + "the SD card image";
    return changes;
}

// ---------------------------------------------------------------------------
// The file

std::vector<uint8_t> Machine::EncodeStateFile(const std::vector<uint8_t>& payload, int level) const {
    std::vector<uint8_t> packed;
    uint16_t method = 0;
    const std::vector<uint8_t>* stored = &payload;
    if (options.compressor && options.compressor->Compress(payload.data(), payload.size(), packed, level)) {
        method = options.compressor->Method();
        stored = &packed;
    }
    std::vector<uint8_t> file(Magic, Magic + sizeof Magic);
    Put<uint16_t>(file, FormatVersion);
    Put<uint16_t>(file, method);
    Put<uint32_t>(file, static_cast<uint32_t>(payload.size()));
    Put<uint32_t>(file, Crc32(payload.data(), payload.size()));
    Put<uint32_t>(file, static_cast<uint32_t>(stored->size()));
    Put<uint32_t>(file, Crc32(file.data(), file.size()));
    file.insert(file.end(), stored->begin(), stored->end());
    return file;
}

bool Machine::DecodeStateFile(const std::vector<uint8_t>& file, std::vector<uint8_t>& payload,
                              std::string* error) const {
    if (file.size() < sizeof Magic || std::memcmp(file.data(), Magic, sizeof Magic) != 0) {
        *error = "it is not a Vexa save state";
        return false;
    }
    if (file.size() < HeaderSize) {
        *error = "it is truncated (the header is incomplete)";
        return false;
    }
    const uint8_t* h = file.data();
    const uint16_t version = Get<uint16_t>(h + 8);
    const uint16_t method = Get<uint16_t>(h + 10);
    const uint32_t size = Get<uint32_t>(h + 12);
    const uint32_t crc = Get<uint32_t>(h + 16);
    const uint32_t stored = Get<uint32_t>(h + 20);
    if (Crc32(h, HeaderSize - 4) != Get<uint32_t>(h + 24)) {
        *error = "it is damaged (its header fails its checksum)";
        return false;
    }
    if (version > FormatVersion) {
        *error = "it was saved by a newer version of the emulator (state format " + std::to_string(version) +
                 "; this version reads format " + std::to_string(FormatVersion) + ")";
        return false;
    }
    if (version == 0 || size > MaxPayload || (method != 0 && method != 1)) {
        *error = "it is damaged (its header holds impossible values)";
        return false;
    }
    if (file.size() - HeaderSize < stored) {
        *error = "it is truncated (" + std::to_string(file.size() - HeaderSize) + " of " + std::to_string(stored) +
                 " bytes of data)";
        return false;
    }
    if (file.size() - HeaderSize > stored) {
        *error = "it is damaged (there is data after its end)";
        return false;
    }
    const uint8_t* data = h + HeaderSize;
    if (method == 0) {
        if (stored != size) {
            *error = "it is damaged (its sizes disagree)";
            return false;
        }
        payload.assign(data, data + stored);
    } else if (!options.compressor || options.compressor->Method() != method) {
        *error = "it is packed in a way this build cannot unpack";
        return false;
    } else if (!options.compressor->Decompress(data, stored, size, payload)) {
        *error = "it is damaged (its data does not unpack)";
        return false;
    }
    if (Crc32(payload.data(), payload.size()) != crc) {
        *error = "it is damaged (its data fails its checksum)";
        return false;
    }
    return true;
}

bool Machine::SaveStateFile(const std::string& path, std::string* error) {
    PauseCpu();
    const std::vector<uint8_t> payload = CaptureState();
    ResumeCpu();
    const std::vector<uint8_t> file = EncodeStateFile(payload);
    return WriteFileAtomically(path, file.data(), file.size(), error);
}

Machine::StateLoad Machine::LoadStateFile(const std::string& path, std::string* error) {
    std::vector<uint8_t> file, payload;
    if (!ReadWholeFile(path, 2 * static_cast<uint64_t>(MaxPayload), file, error,
                       "larger than any save state")) {
        return StateLoad::Failed;
    }
    if (!DecodeStateFile(file, payload, error)) return StateLoad::Failed;
    PauseCpu();
    const std::string changes = DescribeMediaChanges(payload);
    if (!changes.empty()) {
        std::string question = changes + " changed since this state was saved.\r"
                                         "Load the state anyway? The files on disk stay as they are now.";
        question[0] = 'T';
        const MsgAnswer answer =
            host ? host->ShowMessage(question, "Load State", MsgButtons::YesNoCancel, MsgIcon::Question)
                 : MsgAnswer::No;
        if (answer != MsgAnswer::Yes) {
            ResumeCpu();
            *error = "the state was not loaded: " + changes + " changed since it was saved";
            return StateLoad::Declined;
        }
    }
    const bool ok = ApplyState(payload, error);
    ResumeCpu();
    return ok ? StateLoad::Loaded : StateLoad::Failed;
}
