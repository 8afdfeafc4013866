#include "app/Application.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <cstdio>
#include <exception>

#include "ui/FormAbout.h"
#include "ui/FormDebug.h"
#include "ui/FormDiag.h"
#include "ui/FormMain.h"
#include "ui/FormOptions.h"

namespace {

const char* const kTitle = "Vexa Z80 Board Emulator";

void Created(const FormCreatedHook& hook, const char* name) {
    if (hook) hook(name);
}

} // namespace

bool CreateForms(QString* error, const FormCreatedHook& onCreated) {
    try {
        new TMainForm; // sets MainForm, then builds and starts the machine
        Created(onCreated, "MainForm");
        new TAboutForm;
        Created(onCreated, "AboutForm");
        new TDebugForm;
        Created(onCreated, "DebugForm");
        new TDiagForm; // creates rizediv.log
        Created(onCreated, "DiagForm");
        new TOptionsForm;
        Created(onCreated, "OptionsForm");
        return true;
    } catch (const std::exception& e) {
        if (error) *error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        if (error) error->clear();
    }
    return false;
}

void DestroyForms() {
    // A GDB client's thread goes before the machine it calls into.
    if (DebugForm) DebugForm->MachineGone();
    // The machine goes first: its threads call into the windows.
    delete MainForm;
    delete OptionsForm;
    delete DiagFormWindow();
    delete DebugForm;
    delete AboutForm;
}

int RunEmulator(const DebugStartup& debug) {
    QApplication::setApplicationName(kTitle);
    QString error;
    if (!CreateForms(&error)) {
        QMessageBox::critical(nullptr, kTitle, error);
        DestroyForms();
        return 1;
    }
    if (MainForm->TerminateRequested()) {
        // The machine's fatal box has been shown already (no config.txt, no
        // boot ROM). Its queued request to end the loop is not needed now.
        QCoreApplication::removePostedEvents(qApp, QEvent::MetaCall);
        DestroyForms();
        return 1;
    }
    for (const QString& file : debug.symbols)
        if (!DebugForm->LoadSymbols(file))
            std::fprintf(stderr, "--symbols: %s\n", qPrintable(DebugForm->LblStop->text()));
    if (debug.gdbPort >= 0) {
        if (DebugForm->StartGdb(static_cast<uint16_t>(debug.gdbPort), &error))
            std::fprintf(stderr, "GDB stub listening on 127.0.0.1:%d\n", debug.gdbPort);
        else std::fprintf(stderr, "--gdb: %s\n", qPrintable(error));
    }
    MainForm->show();
    int status = QApplication::exec();
    if (MainForm && MainForm->ShutdownFailed()) status = 1;
    DestroyForms();
    return status;
}
