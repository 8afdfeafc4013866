#include "app/RunFolder.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "host/Files.h"

namespace fs = std::filesystem;

fs::path UserRunFolder(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && *xdgDataHome && fs::path(xdgDataHome).is_absolute()) return fs::path(xdgDataHome) / "vexa";
    if (home && *home && fs::path(home).is_absolute()) return fs::path(home) / ".local" / "share" / "vexa";
    return {};
}

fs::path BundledFolder(const fs::path& programFolder) {
    return (programFolder / ".." / "share" / "vexa").lexically_normal();
}

RunFolderChoice ChooseRunFolder(const std::optional<fs::path>& argument, const fs::path& current,
                                const fs::path& userFolder) {
    if (argument) return {*argument, !fs::exists(*argument)};
    std::error_code ec;
    if (fs::is_regular_file(current / "config.txt", ec) || userFolder.empty()) return {current, false};
    return {userFolder, true};
}

bool FillRunFolder(const fs::path& folder, const fs::path& bundled, std::string* error) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
        *error = "Cannot create the folder " + folder.string() + ": " + (ec ? ec.message() : "not a folder");
        return false;
    }
    for (const char* name : kRunFolderFiles) {
        const fs::path target = folder / name;
        if (fs::exists(fs::symlink_status(target, ec))) continue;
        std::ifstream in(bundled / name, std::ios::binary);
        if (!in) {
            *error = "The bundled file " + (bundled / name).string() + " is missing: is vexa installed whole?";
            return false;
        }
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::string why;
        if (in.bad() || !WriteFileAtomically(target.string(), bytes.data(), bytes.size(), &why)) {
            *error = "Cannot write " + target.string() + ": " + (why.empty() ? "read error" : why);
            return false;
        }
    }
    return true;
}
