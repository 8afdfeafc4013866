// Where vexa runs: the folder whose config.txt, ROMs and card image the
// machine uses and where it writes its dumps and log. A folder named on the
// command line wins; then the current folder when it holds config.txt (the
// build tree's run folder and scripts rely on that); otherwise the user's own
// folder under $XDG_DATA_HOME, filled from the installed bundled software.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The files a run folder needs; the bundled software provides each of them.
inline constexpr const char* kRunFolderFiles[] = {"config.txt", "boot.rom", "monitor.eep", "card.img"};

// $XDG_DATA_HOME/vexa, or $HOME/.local/share/vexa when XDG_DATA_HOME is unset,
// empty or relative (the base directory rules ignore relative values).
// Empty when neither gives an absolute folder.
std::filesystem::path UserRunFolder(const char* xdgDataHome, const char* home);

// The installed bundled software: <prefix>/share/vexa next to <prefix>/bin
// where the program lives, so an install under any prefix finds its own.
std::filesystem::path BundledFolder(const std::filesystem::path& programFolder);

struct RunFolderChoice {
    std::filesystem::path folder;
    bool fill = false; // create it and add the bundled files it lacks
};

// The folder to run in, from the command line's folder (if any), the current
// folder and the user's folder.
RunFolderChoice ChooseRunFolder(const std::optional<std::filesystem::path>& argument,
                                const std::filesystem::path& current, const std::filesystem::path& userFolder);

// Creates the folder if needed and copies in each bundled file it lacks. A
// file that exists is never replaced: the card holds the user's own blocks
// and config.txt may have been edited. Each copy appears whole or not at all.
// False with a reason in *error when a file cannot be copied.
bool FillRunFolder(const std::filesystem::path& folder, const std::filesystem::path& bundled, std::string* error);
