#include "debug/Symbols.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "host/Files.h"

namespace {

constexpr size_t MaxSymbolFileSize = 64u << 20;
constexpr size_t MaxNameLength = 255;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }
bool IsNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '$' || c == '?' || c == '@';
}

bool IsName(std::string_view s) {
    return !s.empty() && s.size() <= MaxNameLength && IsNameStart(s.front()) &&
           std::all_of(s.begin(), s.end(), IsNameChar);
}

// Splits text into lines (LF, CR LF or CR).
template <class F> void ForEachLine(std::string_view text, F&& f) {
    size_t number = 1;
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        f(text.substr(0, end), number++);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1));
    }
}

std::optional<uint32_t> ParseHexDigits(std::string_view s, size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 16);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

// A symbol value in any of the notations the tools write; up to 32 bits.
std::optional<uint32_t> ParseValue(std::string_view s) {
    s = Trim(s);
    if (s.empty()) return std::nullopt;
    if (s.front() == '$' || s.front() == '#') return ParseHexDigits(s.substr(1), 8);
    if (StartsWithNoCase(s, "0x")) return ParseHexDigits(s.substr(2), 8);
    if (s.back() == 'h' || s.back() == 'H') return ParseHexDigits(s.substr(0, s.size() - 1), 9);
    return ParseHexDigits(s, 8);
}

struct LineScan {
    size_t symbols = 0;
    size_t skipped = 0;
    size_t firstSkipped = 0;
    void Skip(size_t line) {
        if (skipped++ == 0) firstSkipped = line;
    }
};

// "name: equ $8005" (z80asm), "name EQU 08005H" (pasmo), "name = $8005",
// "name equ 8005" (plain lists). Comments after ';' are ignored.
bool ParseEquLine(std::string_view line, std::string_view& name, uint32_t& value) {
    const size_t semicolon = line.find(';');
    if (semicolon != std::string_view::npos) line = line.substr(0, semicolon);
    line = Trim(line);
    if (line.empty()) return false;
    size_t i = 0;
    while (i < line.size() && IsNameChar(line[i])) ++i;
    name = line.substr(0, i);
    std::string_view rest = line.substr(i);
    if (!rest.empty() && rest.front() == ':') rest.remove_prefix(1);
    rest = Trim(rest);
    if (!rest.empty() && rest.front() == '=') rest.remove_prefix(1);
    else if (StartsWithNoCase(rest, "equ") && rest.size() > 3 && std::isspace(static_cast<unsigned char>(rest[3])))
        rest.remove_prefix(3);
    else return false;
    const auto parsed = ParseValue(rest);
    if (!IsName(name) || !parsed) return false;
    value = *parsed;
    return true;
}

} // namespace

const char* SymbolFormatName(SymbolFormat format) {
    switch (format) {
    case SymbolFormat::Z80asm: return "z80asm label file";
    case SymbolFormat::Pasmo: return "pasmo symbol table";
    case SymbolFormat::SdccNoi: return "sdcc linker .noi file";
    case SymbolFormat::SdccMap: return "sdcc linker .map file";
    case SymbolFormat::Plain: return "list of names and values";
    }
    return "?";
}

std::optional<SymbolFormat> DetectSymbolFormat(std::string_view text, std::string* why) {
    if (text.find('\0') != std::string_view::npos) {
        if (why) *why = "the file is binary, not a text list of symbols";
        return std::nullopt;
    }
    if (text.find("ASxxxx Linker") != std::string_view::npos ||
        (text.find("Value  Global") != std::string_view::npos && text.find("Area") != std::string_view::npos))
        return SymbolFormat::SdccMap;
    if (text.find("ASxxxx Assembler") != std::string_view::npos) {
        if (why)
            *why = "this is an assembler's symbol table, whose addresses are not yet relocated: "
                   "load the linker's .noi or .map file instead";
        return std::nullopt;
    }
    int z80asm = 0, pasmo = 0, noi = 0, plain = 0;
    ForEachLine(text, [&](std::string_view line, size_t) {
        const std::string_view t = Trim(line);
        if (t.rfind("DEF ", 0) == 0) {
            ++noi;
            return;
        }
        std::string_view name;
        uint32_t value;
        if (!ParseEquLine(t, name, value)) return;
        const size_t colon = t.find(':');
        const size_t equ = t.find("equ $");
        if (colon != std::string_view::npos && equ != std::string_view::npos && colon < equ) ++z80asm;
        else if (t.find("EQU 0") != std::string_view::npos && t.back() == 'H' && colon == std::string_view::npos)
            ++pasmo;
        else ++plain;
    });
    if (noi > 0 && noi >= z80asm + pasmo + plain) return SymbolFormat::SdccNoi;
    const int best = std::max({z80asm, pasmo, plain});
    if (best == 0) {
        if (why) *why = "no line of the form 'name = $hex', 'name EQU hex' or 'DEF name 0xhex'";
        return std::nullopt;
    }
    if (z80asm == best) return SymbolFormat::Z80asm;
    if (pasmo == best) return SymbolFormat::Pasmo;
    return SymbolFormat::Plain;
}

std::optional<uint16_t> ParseHexAddress(std::string_view text) {
    const auto value = ParseValue(text);
    if (!value || *value > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

bool SymbolTable::Load(std::string_view text, std::string* error, SymbolFormat* detected) {
    std::string why;
    const auto format = DetectSymbolFormat(text, &why);
    if (!format) {
        if (error) *error = "not a symbol file: " + why;
        return false;
    }
    if (detected) *detected = *format;
    LineScan scan;
    auto take = [&](std::string_view name, uint32_t value, size_t line) {
        if (value > 0xFFFF || !IsName(name)) {
            scan.Skip(line);
            return;
        }
        Add(std::string(name), static_cast<uint16_t>(value));
        ++scan.symbols;
    };
    bool inGlobals = false;
    ForEachLine(text, [&](std::string_view raw, size_t number) {
        const std::string_view line = Trim(raw);
        if (line.empty()) return;
        switch (*format) {
        case SymbolFormat::SdccNoi: {
            // "DEF _main 0x8003"; l__AREA entries are sizes, not addresses.
            if (line.rfind("DEF ", 0) != 0) return; // LOAD lines and the like
            const std::string_view body = Trim(line.substr(4));
            const size_t space = body.find_first_of(" \t");
            if (space == std::string_view::npos) return scan.Skip(number);
            const std::string_view name = body.substr(0, space);
            const auto value = ParseValue(body.substr(space));
            if (!value) return scan.Skip(number);
            if (name.rfind("l__", 0) == 0 || name.rfind(".__.", 0) == 0) return;
            take(name, *value, number);
            return;
        }
        case SymbolFormat::SdccMap: {
            // Only the "Value Global" tables hold symbols; the area and base
            // address lines around them do not.
            if (line.rfind("Value", 0) == 0 && line.find("Global") != std::string_view::npos) {
                inGlobals = true;
                return;
            }
            if (!inGlobals || line.rfind("-----", 0) == 0) return;
            const size_t space = line.find_first_of(" \t");
            const auto value = space == std::string_view::npos ? std::nullopt
                                                                : ParseHexDigits(line.substr(0, space), 8);
            if (!value) {
                inGlobals = false; // the table has ended
                return;
            }
            std::string_view rest = Trim(line.substr(space));
            const size_t end = rest.find_first_of(" \t");
            const std::string_view name = rest.substr(0, end);
            if (name.rfind("l__", 0) == 0 || name.rfind(".__.", 0) == 0) return;
            take(name, *value, number);
            return;
        }
        default: {
            std::string_view name;
            uint32_t value;
            if (line.front() == ';' || line.front() == '#' || line.front() == '*') return; // comments
            if (!ParseEquLine(line, name, value)) return scan.Skip(number);
            take(name, value, number);
            return;
        }
        }
    });
    if (scan.symbols == 0) {
        if (error)
            *error = std::string("no symbols found in this ") + SymbolFormatName(*format) +
                     (scan.skipped ? " (line " + std::to_string(scan.firstSkipped) + " is not a symbol)" : "");
        return false;
    }
    if (error) {
        error->clear();
        if (scan.skipped)
            *error = std::to_string(scan.skipped) + " line" + (scan.skipped == 1 ? "" : "s") +
                     " skipped, the first at line " + std::to_string(scan.firstSkipped);
    }
    return true;
}

bool SymbolTable::LoadFile(const std::string& path, std::string* error, SymbolFormat* detected) {
    std::vector<uint8_t> bytes;
    std::string readError;
    if (!ReadWholeFile(path, MaxSymbolFileSize, bytes, &readError)) {
        if (error) *error = path + ": " + readError;
        return false;
    }
    std::string message;
    const bool ok = Load(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &message,
                         detected);
    if (error) *error = message.empty() ? std::string() : path + ": " + message;
    return ok;
}

void SymbolTable::Add(std::string name, uint16_t address) {
    auto it = byName.find(name);
    if (it != byName.end()) {
        // A name defined again (a later file) moves to its new address.
        auto range = byAddress.equal_range(it->second);
        for (auto a = range.first; a != range.second; ++a)
            if (a->second == name) {
                byAddress.erase(a);
                break;
            }
        it->second = address;
    } else {
        byName.emplace(name, address);
    }
    // Keep the names at one address in alphabetical order.
    auto range = byAddress.equal_range(address);
    auto pos = range.first;
    while (pos != range.second && pos->second < name) ++pos;
    byAddress.emplace_hint(pos, address, std::move(name));
}

void SymbolTable::Clear() {
    byName.clear();
    byAddress.clear();
}

std::optional<uint16_t> SymbolTable::Find(std::string_view name) const {
    if (auto it = byName.find(name); it != byName.end()) return it->second;
    for (const auto& [n, a] : byName)
        if (EqualsNoCase(n, name)) return a;
    return std::nullopt;
}

const std::string* SymbolTable::NameAt(uint16_t address) const {
    auto it = byAddress.find(address);
    return it == byAddress.end() ? nullptr : &it->second;
}

std::string SymbolTable::Describe(uint16_t address) const {
    auto it = byAddress.upper_bound(address);
    if (it == byAddress.begin()) return {};
    --it;
    const unsigned offset = static_cast<unsigned>(address - it->first);
    if (offset > 255) return {};
    // The first name at that address, not the last.
    const auto first = byAddress.lower_bound(it->first);
    return offset == 0 ? first->second : first->second + "+" + std::to_string(offset);
}

std::vector<std::pair<uint16_t, std::string>> SymbolTable::All() const {
    return {byAddress.begin(), byAddress.end()};
}

std::optional<uint16_t> ParseAddress(std::string_view text, const SymbolTable* symbols, std::string* error) {
    text = Trim(text);
    if (text.empty()) {
        if (error) *error = "no address given";
        return std::nullopt;
    }
    // Hexadecimal first, so that "8000" and "beef" keep meaning what the
    // address fields always took them to mean.
    if (auto hex = ParseHexAddress(text)) return hex;
    size_t sign = text.find_first_of("+-");
    const std::string_view name = Trim(text.substr(0, sign));
    std::optional<uint16_t> base = symbols ? symbols->Find(name) : std::nullopt;
    if (!base) {
        if (error)
            *error = IsName(name) ? "unknown label '" + std::string(name) + "'"
                                  : "'" + std::string(text) + "' is neither a hexadecimal address nor a label";
        return std::nullopt;
    }
    if (sign == std::string_view::npos) return base;
    const auto offset = ParseHexAddress(text.substr(sign + 1));
    if (!offset) {
        if (error) *error = "bad offset after '" + std::string(name) + "'";
        return std::nullopt;
    }
    return static_cast<uint16_t>(text[sign] == '+' ? *base + *offset : *base - *offset);
}
