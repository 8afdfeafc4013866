// The program entry: the five windows in their order, the event loop, the
// fatal start-up errors and the exit status.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Called after each window has been created, with its name; the tests use it
// to watch the order.
using FormCreatedHook = std::function<void(const char* name)>;

// Creates the main window (and with it the machine), the About dialog, the
// debugger, the diagnostics monitor and the options dialog, in that order.
// On an error stops there and returns false with its text in *error (the
// windows already made are left for DestroyForms).
bool CreateForms(QString* error, const FormCreatedHook& onCreated = {});
// Destroys every window that exists, the main window (and machine) first.
void DestroyForms();

// What the command line asks of the debugger: symbol files (absolute paths)
// and a port for a GDB client (-1: none).
struct DebugStartup {
    QStringList symbols;
    int gdbPort = -1;
};

// The whole program on an existing QApplication. 0 after a normal close; 1
// when start-up failed (the error has been shown), the machine asked to end
// (its fatal box has been shown) or the memory dumps could not be written.
int RunEmulator(const DebugStartup& debug = {});
