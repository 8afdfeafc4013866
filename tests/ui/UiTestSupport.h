// Window tests: the emulator's five windows built in a private folder on a
// test ROM, waiting on the event loop, and answering modal boxes.
#pragma once

#include <QString>
#include <QStringList>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "support/TestFiles.h"

class Machine;
class TVexaBoard;

namespace ui_testing {

// Runs the event loop until cond() holds or timeoutMs pass; returns cond().
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 5000);
// Runs the event loop for ms milliseconds.
void Pump(int ms);

// Every modal message box that opens is recorded ("caption|text") and
// closed with the button named by the next answer ("Yes", "No", "Cancel",
// "OK"; "OK" or the escape button once they run out).
class BoxAnswerer {
public:
    BoxAnswerer();
    ~BoxAnswerer();
    QStringList answers;
    QStringList seen;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

// A folder with config.txt naming the assembled test ROM `program` (from
// tests/ui/programs), made the current folder, and the five windows.
class Emulator {
public:
    explicit Emulator(const std::string& program, const std::string& extraConfig = "");
    ~Emulator();
    // Creates the windows and shows the main window; false on a start-up error.
    bool Start();
    void Stop();
    TVexaBoard* Board() const;
    ::Machine* Machine() const;
    const std::filesystem::path& Dir() const { return dir.Path(); }

private:
    testing_support::TempDir dir;
    std::unique_ptr<testing_support::ScopedCurrentDir> cwd;
    bool started = false;
};

} // namespace ui_testing
