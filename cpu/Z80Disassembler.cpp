// Z80 disassembler for the debugger's listing. One template per opcode and
// prefix family; placeholder letters in a template stand for operands:
//   ' '  pad so that the operands start at column 7
//   B    next byte "$%02x"            W  next word, little-endian, "$%04x"
//   R    relative target "$%04x"      I  index register name
//   X    (ix+d) from the next byte    Y  (ix+d) from the DD CB displacement
//   !    whole line "db $ed,$xx"      @  whole line "db $dd" / "db $fd"
//   #    whole line "db $dd,$cb,$dd" for DD CB / FD CB forms without a template
// The regular tables (CB, index, index CB) are derived from rules at compile time.

#include <array>
#include <cstdio>
#include <initializer_list>
#include <string_view>

#include "cpu/Z80.h"

namespace {

constexpr int MaxLine = 19; // "ld     (ix+$00),$00"

struct Template {
    char s[12]{};
};
using Table = std::array<Template, 256>;

constexpr Template Cat(std::initializer_list<std::string_view> parts) {
    Template t;
    int n = 0;
    for (std::string_view p : parts)
        for (char c : p) {
            if (n + 1 >= static_cast<int>(sizeof t.s)) throw "template too long"; // compile-time error
            t.s[n++] = c;
        }
    return t;
}

// clang-format off
constexpr std::string_view MainTemplates[256] = {
    // 00
    "nop", "ld bc,W", "ld (bc),a", "inc bc", "inc b", "dec b", "ld b,B", "rlca",
    "ex af,af'", "add hl,bc", "ld a,(bc)", "dec bc", "inc c", "dec c", "ld c,B", "rrca",
    // 10
    "djnz R", "ld de,W", "ld (de),a", "inc de", "inc d", "dec d", "ld d,B", "rla",
    "jr R", "add hl,de", "ld a,(de)", "dec de", "inc e", "dec e", "ld e,B", "rra",
    // 20
    "jr nz,R", "ld hl,W", "ld (W),hl", "inc hl", "inc h", "dec h", "ld h,B", "daa",
    "jr z,R", "add hl,hl", "ld hl,(W)", "dec hl", "inc l", "dec l", "ld l,B", "cpl",
    // 30
    "jr nc,R", "ld sp,W", "ld (W),a", "inc sp", "inc (hl)", "dec (hl)", "ld (hl),B", "scf",
    "jr c,R", "add hl,sp", "ld a,(W)", "dec sp", "inc a", "dec a", "ld a,B", "ccf",
    // 40
    "ld b,b", "ld b,c", "ld b,d", "ld b,e", "ld b,h", "ld b,l", "ld b,(hl)", "ld b,a",
    "ld c,b", "ld c,c", "ld c,d", "ld c,e", "ld c,h", "ld c,l", "ld c,(hl)", "ld c,a",
    // 50
    "ld d,b", "ld d,c", "ld d,d", "ld d,e", "ld d,h", "ld d,l", "ld d,(hl)", "ld d,a",
    "ld e,b", "ld e,c", "ld e,d", "ld e,e", "ld e,h", "ld e,l", "ld e,(hl)", "ld e,a",
    // 60
    "ld h,b", "ld h,c", "ld h,d", "ld h,e", "ld h,h", "ld h,l", "ld h,(hl)", "ld h,a",
    "ld l,b", "ld l,c", "ld l,d", "ld l,e", "ld l,h", "ld l,l", "ld l,(hl)", "ld l,a",
    // 70
    "ld (hl),b", "ld (hl),c", "ld (hl),d", "ld (hl),e", "ld (hl),h", "ld (hl),l", "halt", "ld (hl),a",
    "ld a,b", "ld a,c", "ld a,d", "ld a,e", "ld a,h", "ld a,l", "ld a,(hl)", "ld a,a",
    // 80
    "add a,b", "add a,c", "add a,d", "add a,e", "add a,h", "add a,l", "add a,(hl)", "add a,a",
    "adc a,b", "adc a,c", "adc a,d", "adc a,e", "adc a,h", "adc a,l", "adc a,(hl)", "adc a,a",
    // 90
    "sub b", "sub c", "sub d", "sub e", "sub h", "sub l", "sub (hl)", "sub a",
    "sbc a,b", "sbc a,c", "sbc a,d", "sbc a,e", "sbc a,h", "sbc a,l", "sbc a,(hl)", "sbc a,a",
    // A0
    "and b", "and c", "and d", "and e", "and h", "and l", "and (hl)", "and a",
    "xor b", "xor c", "xor d", "xor e", "xor h", "xor l", "xor (hl)", "xor a",
    // B0
    "or b", "or c", "or d", "or e", "or h", "or l", "or (hl)", "or a",
    "cp b", "cp c", "cp d", "cp e", "cp h", "cp l", "cp (hl)", "cp a",
    // C0 (CB, DD, ED and FD are prefixes and never looked up here)
    "ret nz", "pop bc", "jp nz,W", "jp W", "call nz,W", "push bc", "add a,B", "rst 00h",
    "ret z", "ret", "jp z,W", "@", "call z,W", "call W", "adc a,B", "rst 08h",
    // D0
    "ret nc", "pop de", "jp nc,W", "out (B),a", "call nc,W", "push de", "sub B", "rst 10h",
    "ret c", "exx", "jp c,W", "in a,(B)", "call c,W", "@", "sbc a,B", "rst 18h",
    // E0
    "ret po", "pop hl", "jp po,W", "ex (sp),hl", "call po,W", "push hl", "and B", "rst 20h",
    "ret pe", "jp (hl)", "jp pe,W", "ex de,hl", "call pe,W", "@", "xor B", "rst 28h",
    // F0
    "ret p", "pop af", "jp p,W", "di", "call p,W", "push af", "or B", "rst 30h",
    "ret m", "ld sp,hl", "jp m,W", "ei", "call m,W", "@", "cp B", "rst 38h",
};
// clang-format on

struct EDEntry {
    uint8_t op;
    std::string_view text;
};

// Only the documented encodings; the duplicates the processor also runs (NEG,
// RETN, RETI and IM elsewhere, the trap ED FE) list as data.
constexpr EDEntry EDTemplates[] = {
    {0x40, "in b,(c)"},  {0x41, "out (c),b"}, {0x42, "sbc hl,bc"}, {0x43, "ld (W),bc"}, {0x44, "neg"},
    {0x45, "retn"},      {0x46, "im 0"},      {0x47, "ld i,a"},    {0x48, "in c,(c)"},  {0x49, "out (c),c"},
    {0x4A, "adc hl,bc"}, {0x4B, "ld bc,(W)"}, {0x4D, "reti"},      {0x4F, "ld r,a"},    {0x50, "in d,(c)"},
    {0x51, "out (c),d"}, {0x52, "sbc hl,de"}, {0x53, "ld (W),de"}, {0x56, "im 1"},      {0x57, "ld a,i"},
    {0x58, "in e,(c)"},  {0x59, "out (c),e"}, {0x5A, "adc hl,de"}, {0x5B, "ld de,(W)"}, {0x5E, "im 2"},
    {0x5F, "ld a,r"},    {0x60, "in h,(c)"},  {0x61, "out (c),h"}, {0x62, "sbc hl,hl"}, {0x63, "ld (W),hl"},
    {0x67, "rrd"},       {0x68, "in l,(c)"},  {0x69, "out (c),l"}, {0x6A, "adc hl,hl"}, {0x6B, "ld hl,(W)"},
    {0x6F, "rld"},       {0x70, "in 0,(c)"},  {0x71, "out (c),0"}, {0x72, "sbc hl,sp"}, {0x73, "ld (W),sp"},
    {0x78, "in a,(c)"},  {0x79, "out (c),a"}, {0x7A, "adc hl,sp"}, {0x7B, "ld sp,(W)"}, {0xA0, "ldi"},
    {0xA1, "cpi"},       {0xA2, "ini"},       {0xA3, "outi"},      {0xA8, "ldd"},       {0xA9, "cpd"},
    {0xAA, "ind"},       {0xAB, "outd"},      {0xB0, "ldir"},      {0xB1, "cpir"},      {0xB2, "inir"},
    {0xB3, "otir"},      {0xB8, "lddr"},      {0xB9, "cpdr"},      {0xBA, "indr"},      {0xBB, "otdr"},
};

// The opcodes that the processor runs with IX/IY after DD/FD; any other opcode
// after the prefix runs unprefixed, so the prefix lists as a byte of its own.
constexpr uint8_t IndexOpcodes[] = {
    0x09, 0x19, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x34, 0x35, 0x36,
    0x39, 0x44, 0x45, 0x46, 0x4C, 0x4D, 0x4E, 0x54, 0x55, 0x56, 0x5C, 0x5D, 0x5E, 0x60, 0x61, 0x62, 0x63,
    0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0x70, 0x71, 0x72, 0x73, 0x74,
    0x75, 0x77, 0x7C, 0x7D, 0x7E, 0x84, 0x85, 0x86, 0x8C, 0x8D, 0x8E, 0x94, 0x95, 0x96, 0x9C, 0x9D, 0x9E,
    0xA4, 0xA5, 0xA6, 0xAC, 0xAD, 0xAE, 0xB4, 0xB5, 0xB6, 0xBC, 0xBD, 0xBE, 0xE1, 0xE3, 0xE5, 0xE9, 0xF9,
};
static_assert(sizeof IndexOpcodes == 85);

constexpr std::string_view Registers[8] = {"b", "c", "d", "e", "h", "l", "(hl)", "a"};
constexpr std::string_view Rotates[8] = {"rlc", "rrc", "rl", "rr", "sla", "sra", "sll", "srl"};
constexpr std::string_view BitOps[4] = {"", "bit", "res", "set"};
constexpr std::string_view Digits[8] = {"0", "1", "2", "3", "4", "5", "6", "7"};

constexpr Table MakeMain() {
    Table t;
    for (int op = 0; op < 256; ++op)
        t[op] = Cat({MainTemplates[op]});
    return t;
}

constexpr Table MakeCB() {
    Table t;
    for (int op = 0; op < 256; ++op) {
        const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
        t[op] = x == 0 ? Cat({Rotates[y], " ", Registers[z]})
                       : Cat({BitOps[x], " ", Digits[y], ",", Registers[z]});
    }
    return t;
}

constexpr Table MakeED() {
    Table t;
    for (auto& e : t)
        e = Cat({"!"});
    for (const EDEntry& e : EDTemplates)
        t[e.op] = Cat({e.text});
    return t;
}

// The unprefixed template with (hl) -> X, hl -> I, h/l -> Ih/Il; beside X the
// real h or l stays, as it does in the processor.
constexpr Template IndexForm(int op) {
    if (op == 0xE9) return Cat({"jp (I)"});
    const std::string_view main = MainTemplates[op];
    const size_t blank = main.find(' ');
    const std::string_view operands = main.substr(blank + 1);
    const size_t comma = operands.find(',');
    std::string_view ops[2] = {operands.substr(0, comma),
                               comma == std::string_view::npos ? "" : operands.substr(comma + 1)};
    const bool memory = ops[0] == "(hl)" || ops[1] == "(hl)";
    std::string_view out[2];
    for (int i = 0; i < 2; ++i) {
        const std::string_view o = ops[i];
        // 64, 65, 6C, 6D keep their source as h or l in the listing.
        const bool keepSource = i == 1 && (op == 0x64 || op == 0x65 || op == 0x6C || op == 0x6D);
        if (o == "(hl)")
            out[i] = "X";
        else if (o == "hl")
            out[i] = "I";
        else if (o == "h" && !memory && !keepSource)
            out[i] = "Ih";
        else if (o == "l" && !memory && !keepSource)
            out[i] = "Il";
        else
            out[i] = o;
    }
    return Cat({main.substr(0, blank + 1), out[0], comma == std::string_view::npos ? "" : ",", out[1]});
}

constexpr Table MakeIndex() {
    Table t;
    for (auto& e : t)
        e = Cat({"@"});
    for (uint8_t op : IndexOpcodes)
        t[op] = IndexForm(op);
    return t;
}

constexpr Table MakeIndexCB() {
    Table t;
    for (int op = 0; op < 256; ++op) {
        const int x = op >> 6, y = (op >> 3) & 7, z = op & 7;
        if (z != 6)
            t[op] = Cat({"#"});
        else
            t[op] = x == 0 ? Cat({Rotates[y], " Y"}) : Cat({BitOps[x], " ", Digits[y], ",Y"});
    }
    return t;
}

constexpr Table MainTable = MakeMain();
constexpr Table CBTable = MakeCB();
constexpr Table EDTable = MakeED();
constexpr Table IndexTable = MakeIndex();
constexpr Table IndexCBTable = MakeIndexCB();

// Appends to the line, never past MaxLine characters.
class Line {
public:
    explicit Line(char* text) : text_(text) { text_[0] = 0; }
    int Length() const { return length_; }
    void Put(char c) {
        if (length_ < MaxLine) text_[length_++] = c;
        text_[length_] = 0;
    }
    template <typename... Args> void Print(const char* format, Args... args) {
        char buf[32];
        std::snprintf(buf, sizeof buf, format, args...);
        for (const char* p = buf; *p; ++p)
            Put(*p);
    }
    void Indexed(const char* name, uint8_t d) {
        Print("(%s%c$%02x)", name, (d & 0x80) ? '-' : '+', (d & 0x80) ? 256 - d : d);
    }

private:
    char* text_;
    int length_ = 0;
};

} // namespace

int Disassemble(const uint8_t* code, char* text, uint16_t address) {
    Line line(text);
    const char* indexName = "INTERNAL PROGRAM ERROR";
    const Template* entry;
    int pos; // bytes consumed so far
    uint8_t displacement = 0;
    switch (code[0]) {
    case 0xCB:
        entry = &CBTable[code[1]];
        pos = 2;
        break;
    case 0xED:
        entry = &EDTable[code[1]];
        pos = 2;
        break;
    case 0xDD:
    case 0xFD:
        indexName = code[0] == 0xDD ? "ix" : "iy";
        if (code[1] == 0xCB) {
            displacement = code[2];
            entry = &IndexCBTable[code[3]];
            pos = 4;
        } else {
            entry = &IndexTable[code[1]];
            pos = 2;
        }
        break;
    default:
        entry = &MainTable[code[0]];
        pos = 1;
        break;
    }

    for (const char* t = entry->s; *t; ++t) {
        switch (*t) {
        case ' ':
            for (int n = line.Length() < 6 ? 7 - line.Length() : 1; n > 0; --n)
                line.Put(' ');
            break;
        case 'B': line.Print("$%02x", code[pos++]); break;
        case 'W':
            line.Print("$%04x", code[pos] | code[pos + 1] << 8);
            pos += 2;
            break;
        case 'R': line.Print("$%04x", (address + 2 + static_cast<int8_t>(code[pos++])) & 0xFFFF); break;
        case 'I': line.Print("%s", indexName); break;
        case 'X': line.Indexed(indexName, code[pos++]); break;
        case 'Y': line.Indexed(indexName, displacement); break;
        case '!':
            line = Line(text);
            line.Print("db     $ed,$%02x", code[1]);
            return 2;
        case '@':
            line = Line(text);
            line.Print("db     $%02x", code[0]);
            return 1;
        case '#':
            line = Line(text);
            line.Print("db     $%02x,$cb,$%02x", code[0], code[2]);
            // The processor runs every DD CB d op as four bytes (these forms do
            // nothing), so the listing steps over all four to stay in step with
            // it; two would list d and op as instructions that never run.
            return 4;
        default: line.Put(*t); break;
        }
    }
    return pos;
}
