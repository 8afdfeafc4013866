#include "FuzzSupport.h"

#include "host/Files.h"

#include <filesystem>
#include <fstream>
#include <unistd.h>

void EverySink::AddMessage(int type, const std::string& text) {
    // A message is one line of the monitor: a category it can show and no
    // line break inside.
    FUZZ_CHECK(type >= 0 && type < DiagTypeCount);
    FUZZ_CHECK(text.find('\n') == std::string::npos);
    ++messages;
}

MsgAnswer FuzzHost::ShowMessage(const std::string&, const std::string& caption, MsgButtons buttons, MsgIcon) {
    boxes.push_back(caption);
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : answer;
}

void FuzzHost::SetStatusPanel(int panel, std::string_view) { FUZZ_CHECK(panel >= 0 && panel < 17); }

ScratchFolder::ScratchFolder() {
    std::error_code ec;
    std::string base = std::filesystem::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                           ? std::string("/dev/shm")
                           : std::filesystem::temp_directory_path().string();
    std::string pattern = base + "/vexa-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) FuzzFail("cannot make a scratch folder");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void ScratchFolder::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(*this / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) FuzzFail("cannot write a scratch file");
}

void ScratchFolder::Write(const std::string& name, const std::string& text) const {
    Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ScratchFolder::Read(const std::string& name) const {
    std::vector<uint8_t> bytes;
    ReadWholeFile(*this / name, 1u << 30, bytes, nullptr);
    return bytes;
}

void FuzzFail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}
