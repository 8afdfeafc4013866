// Labels for the debugger: names read from the symbol files that Debian's Z80
// tools write (z80asm --label, pasmo's symbol table, the sdcc linker's .noi
// and .map) or from a plain list, looked up by name wherever an address is
// typed and by address wherever one is shown.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class SymbolFormat { Z80asm, Pasmo, SdccNoi, SdccMap, Plain };
const char* SymbolFormatName(SymbolFormat format);

// What a file's content looks like; nullopt when it is no symbol file this
// reader knows (the reason goes to *why).
std::optional<SymbolFormat> DetectSymbolFormat(std::string_view text, std::string* why);

// "1234", "$1234", "0x1234", "#1234", "1234h", "01234H" to a 16-bit value:
// hexadecimal, as every address field of the debugger takes it.
std::optional<uint16_t> ParseHexAddress(std::string_view text);

class SymbolTable {
public:
    // Adds the symbols of a file's content, detecting its format. Lines that
    // are not symbols, and values above 0xFFFF, are skipped; *note then says
    // how many and where the first was. False (with a message naming the
    // line) when nothing usable was found.
    bool Load(std::string_view text, std::string* error, SymbolFormat* detected = nullptr);
    // Reads the file and loads it; the message names the file.
    bool LoadFile(const std::string& path, std::string* error, SymbolFormat* detected = nullptr);

    void Add(std::string name, uint16_t address);
    void Clear();
    bool Empty() const { return byName.empty(); }
    size_t Size() const { return byName.size(); }

    // Exact match first, then one that differs only in case.
    std::optional<uint16_t> Find(std::string_view name) const;
    // The first name (alphabetically) defined at this address, or null.
    const std::string* NameAt(uint16_t address) const;
    // "name" or "name+3" for the nearest name at most 255 bytes below; empty
    // when there is none.
    std::string Describe(uint16_t address) const;
    // Every (address, name), sorted by address.
    std::vector<std::pair<uint16_t, std::string>> All() const;

private:
    std::map<std::string, uint16_t, std::less<>> byName;
    std::multimap<uint16_t, std::string> byAddress;
};

// An address as typed: hexadecimal (as above), a label, or a label with a
// hexadecimal offset ("loop+3"). nullopt with a message otherwise.
std::optional<uint16_t> ParseAddress(std::string_view text, const SymbolTable* symbols, std::string* error);
