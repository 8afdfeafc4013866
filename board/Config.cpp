#include "board/Config.h"

#include <cctype>

#include "board/Utils.h"

namespace {

// Reads the text word by word: runs of characters between whitespace.
class WordReader {
public:
    explicit WordReader(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }

    // The next word; hitEnd tells whether the end of the text came before any
    // whitespace after it.
    std::string_view ReadWord(bool* hitEnd = nullptr) {
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

    std::string_view text_;
    size_t pos_ = 0;
};

std::string ToLower(std::string_view word) {
    std::string s(word);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

ConfigEntry PathEntry(ConfigEntry::Kind kind, std::string_view path) {
    ConfigEntry entry{kind, std::string(path)};
    entry.pathTooLong = path.size() > MaxConfigPathLength;
    return entry;
}

} // namespace

MachineConfig ParseConfig(std::string_view text) {
    MachineConfig config;
    WordReader words(text);
    while (!words.AtEnd()) {
        bool hitEnd = false;
        const std::string_view read = words.ReadWord(&hitEnd);
        if (hitEnd) break; // a keyword with no line end after it is not acted on
        // A word longer than a keyword may be is no keyword.
        const std::string word = read.size() > MaxConfigWordLength ? std::string() : ToLower(read);

        if (word == "bootrom") {
            config.entries.push_back(PathEntry(ConfigEntry::Kind::BootRom, words.ReadWord()));
            words.SkipWhitespace();
        } else if (word == "eeprom") {
            const std::string_view hex = words.ReadWord();
            ConfigEntry entry = PathEntry(ConfigEntry::Kind::Eeprom, words.ReadWord());
            entry.offset = hex.size() > MaxConfigWordLength ? -1 : ParseHex(hex);
            config.entries.push_back(std::move(entry));
        } else if (word == "sdcard") {
            words.ReadWord(); // the card type is read and not used
            config.entries.push_back(PathEntry(ConfigEntry::Kind::SdCard, words.ReadWord()));
        } else if (word == "writeenable") {
            config.entries.push_back(ConfigEntry{ConfigEntry::Kind::WriteEnable, {}});
        } else if (word == "nowriteprompt") {
            config.entries.push_back(ConfigEntry{ConfigEntry::Kind::NoWritePrompt, {}});
        } else {
            words.SkipWhitespace();
        }
    }
    return config;
}
