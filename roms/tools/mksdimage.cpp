// mksdimage: builds the SD card image with its program directory.
//
//   mksdimage [--update] [--size BYTES] OUTPUT NAME=FILE[@LOAD[:ENTRY]]...
//
// LOAD and ENTRY are hexadecimal (default 8000, entry = load). With --update
// an existing OUTPUT keeps every block past the program area (the user's
// saved data); the file is rewritten only when its contents change.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "board/Utils.h"
#include "host/Files.h"
#include "roms/tools/SdImage.h"
#include "roms/tools/ToolFiles.h"

namespace {

bool ParseAddress(const std::string& text, uint16_t& value) {
    const int v = ParseHex(text);
    if (v < 0 || v > 0xFFFF || text.size() > 4) return false;
    value = static_cast<uint16_t>(v);
    return true;
}

// NAME=FILE[@LOAD[:ENTRY]]
bool ParseProgram(const std::string& programArg, sdimage::Program& program, std::string& error) {
    const size_t eq = programArg.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "'" + programArg + "' is not NAME=FILE[@LOAD[:ENTRY]]";
        return false;
    }
    program.name = programArg.substr(0, eq);
    std::string file = programArg.substr(eq + 1);
    const size_t at = file.rfind('@');
    if (at != std::string::npos) {
        std::string addresses = file.substr(at + 1);
        file.resize(at);
        const size_t colon = addresses.find(':');
        const std::string load = addresses.substr(0, colon);
        if (!ParseAddress(load, program.load)) {
            error = "bad load address '" + load + "' in '" + programArg + "'";
            return false;
        }
        program.entry = program.load;
        if (colon != std::string::npos && !ParseAddress(addresses.substr(colon + 1), program.entry)) {
            error = "bad entry address '" + addresses.substr(colon + 1) + "' in '" + programArg + "'";
            return false;
        }
    }
    return ReadWholeFile(file, program.bytes, &error);
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Builds a Vexa SD card image holding programs and their directory."};
    std::string output;
    std::vector<std::string> programArgs;
    bool update = false;
    size_t size = sdimage::DefaultImageSize;
    app.add_option("output", output, "The image file to write")->required();
    app.add_option("programs", programArgs, "Programs as NAME=FILE[@LOAD[:ENTRY]] (hexadecimal addresses)");
    app.add_flag("--update", update, "Keep the blocks of an existing image past the program area");
    app.add_option("--size", size, "Smallest image size in bytes")->capture_default_str();
    CLI11_PARSE(app, argc, argv);

    std::vector<sdimage::Program> programs;
    for (const std::string& programArg : programArgs) {
        sdimage::Program program;
        std::string error;
        if (!ParseProgram(programArg, program, error)) {
            std::fprintf(stderr, "mksdimage: %s\n", error.c_str());
            return 1;
        }
        programs.push_back(std::move(program));
    }

    std::vector<uint8_t> image, before;
    std::string error;
    if (update && IsExistingFile(output)) {
        if (!ReadWholeFile(output, before, &error)) {
            std::fprintf(stderr, "mksdimage: %s\n", error.c_str());
            return 1;
        }
        image = before;
    }
    if (std::string why = sdimage::BuildImage(programs, size, image); !why.empty()) {
        std::fprintf(stderr, "mksdimage: %s\n", why.c_str());
        return 1;
    }
    if (image != before && !WriteWholeFile(output, image, &error)) {
        std::fprintf(stderr, "mksdimage: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
