// vexa: the emulator's window. Picks the run folder, makes it the current
// directory (the machine reads config.txt and writes its dumps there) and
// starts the windows.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/Application.h"
#include "app/RunFolder.h"

namespace {

namespace fs = std::filesystem;

const char* const kTitle = "Vexa Z80 Board Emulator";

// Without a display Qt's platform plugin ends the process with an abort and a
// page of plugin advice. Its messages are held back while the application
// object is made, and a fatal one becomes one line and exit status 1.
QStringList heldMessages;

void StartupMessageHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fputs("vexa: no usable display (is DISPLAY or WAYLAND_DISPLAY set?); "
                   "vexa-headless runs the machine without a window, see vexa-headless --help\n",
                   stderr);
        std::_Exit(1);
    }
    heldMessages << message;
}

struct CommandLine {
    std::optional<fs::path> folder;
};

// --help and --version answer before any display is needed.
CommandLine ParseCommandLine(int argc, char* argv[]) {
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName("vexa");
    QCoreApplication::setApplicationVersion(VEXA_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QString("%1: runs the Vexa board (a Z80 home computer) in a window.\n\n"
                "The machine reads config.txt, the boot ROM, the EEPROM image and the SD card image from its run\n"
                "folder and writes its memory dumps and rizediv.log there. The run folder is FOLDER when given\n"
                "(created and filled with the bundled software if it does not exist), else the current folder\n"
                "when it holds config.txt, else $XDG_DATA_HOME/vexa (~/.local/share/vexa), which the first\n"
                "start fills with the bundled software. Without a display use vexa-headless.")
            .arg(kTitle));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("FOLDER", "The run folder.", "[FOLDER]");
    parser.process(core); // exits for --help, --version and unknown options
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        std::fprintf(stderr, "vexa: one run folder at most (see vexa --help)\n");
        std::exit(64);
    }
    CommandLine line;
    if (!positional.isEmpty()) line.folder = fs::path(positional.first().toStdString());
    return line;
}

bool EnterFolder(const fs::path& folder) { return QDir::setCurrent(QString::fromStdString(folder.string())); }

// The machine's own box for a missing config.txt, then a chance to pick
// another folder; false when the user gives up.
bool FindConfiguration() {
    while (!QFileInfo::exists("config.txt")) {
        QMessageBox::critical(nullptr, "Fatal Configuration Error", "Configuration file not found");
        const QString folder = QFileDialog::getExistingDirectory(
            nullptr, "Choose a Run Folder Holding config.txt", QDir::currentPath());
        if (folder.isEmpty()) return false;
        QDir::setCurrent(folder);
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    const CommandLine line = ParseCommandLine(argc, argv);

    QtMessageHandler previous = qInstallMessageHandler(StartupMessageHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(previous);
    for (const QString& message : heldMessages) std::fprintf(stderr, "%s\n", qPrintable(message));
    QApplication::setApplicationVersion(VEXA_VERSION);
    QApplication::setWindowIcon(QIcon::fromTheme("vexa"));
    QGuiApplication::setDesktopFileName("vexa");

    const RunFolderChoice choice =
        ChooseRunFolder(line.folder, fs::current_path(),
                        UserRunFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME")));
    if (choice.fill) {
        std::string error;
        const fs::path bundled = BundledFolder(QCoreApplication::applicationDirPath().toStdString());
        if (!FillRunFolder(choice.folder, bundled, &error)) {
            QMessageBox::critical(nullptr, kTitle, QString::fromStdString(error));
            return 1;
        }
    }
    if (!EnterFolder(choice.folder)) {
        QMessageBox::critical(nullptr, kTitle,
                              QString("Cannot open the run folder %1").arg(QString::fromStdString(choice.folder.string())));
        return 1;
    }
    if (!FindConfiguration()) return 1;
    return RunEmulator();
}
