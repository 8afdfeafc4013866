#include "UiTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include "app/Application.h"
#include "board/Machine.h"
#include "ui/FormMain.h"

namespace ui_testing {

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!cond()) {
        if (timer.elapsed() > timeoutMs) return cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

void Pump(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
}

struct BoxAnswerer::Impl {
    QTimer timer;
};

BoxAnswerer::BoxAnswerer() : impl(std::make_unique<Impl>()) {
    impl->timer.setInterval(10);
    QObject::connect(&impl->timer, &QTimer::timeout, [this] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        seen << box->windowTitle() + "|" + box->text();
        const QString answer = answers.isEmpty() ? QString("OK") : answers.takeFirst();
        const QMessageBox::StandardButton which = answer == "Yes"      ? QMessageBox::Yes
                                                  : answer == "No"     ? QMessageBox::No
                                                  : answer == "Cancel" ? QMessageBox::Cancel
                                                                       : QMessageBox::Ok;
        if (QAbstractButton* button = box->button(which)) button->click();
        else box->reject();
    });
    impl->timer.start();
}

BoxAnswerer::~BoxAnswerer() = default;

Emulator::Emulator(const std::string& program, const std::string& extraConfig) {
    std::filesystem::copy_file(testing_support::TestProgram("ui", program), dir / "rom.bin");
    testing_support::WriteFileText(dir / "config.txt", "bootrom rom.bin\n" + extraConfig);
    cwd = std::make_unique<testing_support::ScopedCurrentDir>(dir.Path());
    // The windows' settings stay in the test's folder, not the user's.
    qputenv("VEXA_SETTINGS", QByteArray::fromStdString((dir / "settings.ini").string()));
}

Emulator::~Emulator() { Stop(); }

bool Emulator::Start() {
    QString error;
    started = true;
    if (!CreateForms(&error)) return false;
    MainForm->show();
    MainForm->activateWindow();
    QApplication::setActiveWindow(MainForm);
    return WaitFor([] { return MainForm->isVisible() && MainForm->isActiveWindow(); });
}

void Emulator::Stop() {
    if (!started) return;
    started = false;
    DestroyForms();
}

TVexaBoard* Emulator::Board() const { return VexaBoard.load(); }
::Machine* Emulator::Machine() const { return VexaMachine.load(); }

} // namespace ui_testing
