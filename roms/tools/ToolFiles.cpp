#include "roms/tools/ToolFiles.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "host/Files.h"

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes, std::string* error) {
    if (!IsExistingFile(path)) {
        if (error) *error = "cannot read " + path + ": no such file";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    std::string why;
    if (WriteFileAtomically(path, bytes.data(), bytes.size(), &why)) return true;
    if (error) *error = "cannot write " + path + ": " + why;
    return false;
}
