// Host keys: Qt key events become the virtual-key codes of the machine's
// key table, reach the machine before any control, and give the right bytes
// in the emulated keyboard's queue.
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>
#include <set>

#include "UiTestSupport.h"
#include "board/Machine.h"
#include "devices/Vexakeyboard.h"
#include "ui/FormDiag.h"
#include "ui/FormMain.h"
#include "ui/HostKeys.h"

using namespace ui_testing;

namespace {

struct KeyCase {
    int key;
    Qt::KeyboardModifiers modifiers;
    uint16_t vk;
};

// A Qt key for every one of the 96 codes the machine translates.
std::vector<KeyCase> EveryMappedKey() {
    std::vector<KeyCase> cases;
    for (int i = 0; i < 10; ++i) cases.push_back({Qt::Key_0 + i, Qt::NoModifier, uint16_t(0x30 + i)});
    for (int i = 0; i < 26; ++i) cases.push_back({Qt::Key_A + i, Qt::NoModifier, uint16_t(0x41 + i)});
    for (int i = 0; i < 12; ++i) cases.push_back({Qt::Key_F1 + i, Qt::NoModifier, uint16_t(0x70 + i)});
    for (int i = 0; i < 10; ++i) cases.push_back({Qt::Key_0 + i, Qt::KeypadModifier, uint16_t(0x60 + i)});
    const KeyCase others[] = {
        {Qt::Key_Backspace, {}, 0x08},   {Qt::Key_Tab, {}, 0x09},          {Qt::Key_Return, {}, 0x0D},
        {Qt::Key_Shift, {}, 0x10},       {Qt::Key_Control, {}, 0x11},      {Qt::Key_Alt, {}, 0x12},
        {Qt::Key_CapsLock, {}, 0x14},    {Qt::Key_Escape, {}, 0x1B},       {Qt::Key_Space, {}, 0x20},
        {Qt::Key_PageUp, {}, 0x21},      {Qt::Key_PageDown, {}, 0x22},     {Qt::Key_End, {}, 0x23},
        {Qt::Key_Home, {}, 0x24},        {Qt::Key_Left, {}, 0x25},         {Qt::Key_Up, {}, 0x26},
        {Qt::Key_Right, {}, 0x27},       {Qt::Key_Down, {}, 0x28},         {Qt::Key_Insert, {}, 0x2D},
        {Qt::Key_Delete, {}, 0x2E},      {Qt::Key_Menu, {}, 0x5D},         {Qt::Key_Asterisk, Qt::KeypadModifier, 0x6A},
        {Qt::Key_Plus, Qt::KeypadModifier, 0x6B}, {Qt::Key_Minus, Qt::KeypadModifier, 0x6D},
        {Qt::Key_Period, Qt::KeypadModifier, 0x6E}, {Qt::Key_Slash, Qt::KeypadModifier, 0x6F},
        {Qt::Key_NumLock, {}, 0x90},     {Qt::Key_Semicolon, {}, 0xBA},    {Qt::Key_Equal, {}, 0xBB},
        {Qt::Key_Comma, {}, 0xBC},       {Qt::Key_Minus, {}, 0xBD},        {Qt::Key_Period, {}, 0xBE},
        {Qt::Key_Slash, {}, 0xBF},       {Qt::Key_QuoteLeft, {}, 0xC0},    {Qt::Key_BracketLeft, {}, 0xDB},
        {Qt::Key_Backslash, {}, 0xDC},   {Qt::Key_BracketRight, {}, 0xDD}, {Qt::Key_Apostrophe, {}, 0xDE},
        {Qt::Key_notsign, {}, 0xDF},
    };
    cases.insert(cases.end(), std::begin(others), std::end(others));
    return cases;
}

bool KeyboardQueueExists(TVexaBoard* b) {
    b->Keyboard()->QueueByte(0x55);
    if (!b->Keyboard()->HasData()) return false;
    b->Keyboard()->ReadQueuedByte();
    return true;
}

std::vector<int> DrainQueue(TVexaBoard* b) {
    std::vector<int> bytes;
    VexaMachine.load()->PauseCpu();
    while (b->Keyboard()->HasData() && bytes.size() < 64) bytes.push_back(b->Keyboard()->ReadQueuedByte());
    VexaMachine.load()->ResumeCpu();
    return bytes;
}

// The "Key Press/Release" rows the machine posted to the monitor since the last call.
QStringList KeyRows() {
    TDiagForm* monitor = DiagFormWindow();
    QStringList rows;
    for (const DiagRow& row : monitor->Log().Rows())
        if (row.text.rfind("Key ", 0) == 0) rows << QString::fromStdString(row.text);
    monitor->BtnClearClick();
    return rows;
}

void Press(QWidget* w, int key, Qt::KeyboardModifiers mods = {}, bool repeat = false) {
    QKeyEvent e(QEvent::KeyPress, key, mods, QString(), repeat);
    QApplication::sendEvent(w, &e);
}

void Release(QWidget* w, int key, Qt::KeyboardModifiers mods = {}, bool repeat = false) {
    QKeyEvent e(QEvent::KeyRelease, key, mods, QString(), repeat);
    QApplication::sendEvent(w, &e);
}

} // namespace

class KeysTest : public QObject {
    Q_OBJECT
private slots:
    void EveryTranslatedKeyHasAQtKey();
    void ModifiersAndShiftedKeys();
    void KeysReachTheMachineWithTheirBytes();
    void TabAndF10StayWithTheMachine();
    void AutoRepeatIsRepeatedPresses();
    void ReleasesMatchTheirPressesAndFocusLossReleasesHeldKeys();
};

void KeysTest::EveryTranslatedKeyHasAQtKey() {
    std::set<uint16_t> covered;
    for (const KeyCase& c : EveryMappedKey()) {
        QCOMPARE(VirtualKeyFromQtKey(c.key, c.modifiers), c.vk);
        covered.insert(c.vk);
    }
    int mapped = 0;
    for (int vk = 0; vk < 256; ++vk)
        if (KeyTranslationTable[vk] != 0) {
            ++mapped;
            QVERIFY2(covered.count(uint16_t(vk)), qPrintable(QString::number(vk, 16)));
        }
    QCOMPARE(mapped, 96);
    QCOMPARE(int(covered.size()), 96);
    // Keys the machine has no code for give 0 or an untranslated code.
    QCOMPARE(KeyTranslationTable[VirtualKeyFromQtKey(Qt::Key_Meta, {})], uint16_t(0));
    QCOMPARE(VirtualKeyFromQtKey(Qt::Key_unknown, {}), uint16_t(0));
}

void KeysTest::ModifiersAndShiftedKeys() {
    // Left and right modifiers are one key each to the machine.
    QCOMPARE(VirtualKeyFromQtKey(Qt::Key_AltGr, {}), uint16_t(0x12));
    QCOMPARE(VirtualKeyFromQtKey(Qt::Key_Shift, Qt::ShiftModifier), uint16_t(0x10));
    // Shifted symbols are their unshifted keys, so press and release match.
    QCOMPARE(VirtualKeyFromQtKey(Qt::Key_Exclam, Qt::ShiftModifier), uint16_t(0x31));
    QCOMPARE(VirtualKeyFromQtKey(Qt::Key_ParenRight, Qt::ShiftModifier), uint16_t(0x30));
    QCOMPARE(VirtualKeyFromQtKey(Qt::Key_Question, Qt::ShiftModifier), uint16_t(0xBF));
    QCOMPARE(VirtualKeyFromQtKey(Qt::Key_Backtab, Qt::ShiftModifier), uint16_t(0x09));
    // The keypad with Num Lock off and its Enter.
    QCOMPARE(VirtualKeyFromQtKey(Qt::Key_Home, Qt::KeypadModifier), uint16_t(0x24));
    QCOMPARE(VirtualKeyFromQtKey(Qt::Key_Enter, Qt::KeypadModifier), uint16_t(0x0D));
    // X11 key codes of the digit and punctuation rows, by position.
    QCOMPARE(VirtualKeyFromX11Keycode(10), uint16_t(0x31));
    QCOMPARE(VirtualKeyFromX11Keycode(19), uint16_t(0x30));
    QCOMPARE(VirtualKeyFromX11Keycode(61), uint16_t(0xBF));
    QCOMPARE(VirtualKeyFromX11Keycode(38), uint16_t(0)); // 'a' goes by its Qt key
    QCOMPARE(ShiftStateFrom(Qt::ShiftModifier | Qt::ControlModifier, Qt::RightButton), 0x01 | 0x04 | 0x10);
    QCOMPARE(ShiftStateFrom(Qt::AltModifier, Qt::LeftButton | Qt::MiddleButton), 0x02 | 0x08 | 0x20);
}

void KeysTest::KeysReachTheMachineWithTheirBytes() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    TVexaBoard* b = emu.Board();
    DiagFormWindow()->TypeChecks[DIAG_KB_MOUSE]->setChecked(true);
    const bool queue = KeyboardQueueExists(b);
    // A control with the focus does not hide keys from the machine, and still gets them.
    auto* edit = new QLineEdit(MainForm->centralWidget());
    edit->show();
    edit->setFocus();
    QVERIFY(WaitFor([&] { return QApplication::focusWidget() == edit; }));

    QTest::keyClick(edit, Qt::Key_A);
    QCOMPARE(KeyRows(), QStringList({"Key Press 0x0041, 0x0000", "Key Release 0x0041, 0x0000"}));
    QCOMPARE(edit->text(), QString("a"));
    if (queue) QCOMPARE(DrainQueue(b), std::vector<int>({0x1C, 0xF0, 0x1C}));

    QTest::keyClick(edit, Qt::Key_Left);
    QCOMPARE(KeyRows(), QStringList({"Key Press 0x0025, 0x0000", "Key Release 0x0025, 0x0000"}));
    if (queue) QCOMPARE(DrainQueue(b), std::vector<int>({0xE0, 0x6B, 0xE0, 0xF0, 0x6B}));

    // Shift travels as a key of its own; the state is only shown.
    // (Qt reports a modifier key's own event with the state after it.)
    Press(edit, Qt::Key_Shift);
    Press(edit, Qt::Key_B, Qt::ShiftModifier);
    Release(edit, Qt::Key_B, Qt::ShiftModifier);
    Release(edit, Qt::Key_Shift, Qt::ShiftModifier);
    QCOMPARE(KeyRows(), QStringList({"Key Press 0x0010, 0x0001", "Key Press 0x0042, 0x0001",
                                     "Key Release 0x0042, 0x0001", "Key Release 0x0010, 0x0000"}));
    if (queue) QCOMPARE(DrainQueue(b), std::vector<int>({0x12, 0x32, 0xF0, 0x32, 0xF0, 0x12}));

    // A keypad digit is the keypad's own code.
    QTest::keyClick(edit, Qt::Key_5, Qt::KeypadModifier);
    QCOMPARE(KeyRows(), QStringList({"Key Press 0x0065, 0x0000", "Key Release 0x0065, 0x0000"}));
    if (queue) QCOMPARE(DrainQueue(b), std::vector<int>({0x73, 0xF0, 0x73}));
    delete edit;
    if (!queue) qWarning("key codes checked; this build has no keyboard queue to check the bytes in");
}

void KeysTest::TabAndF10StayWithTheMachine() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    TVexaBoard* b = emu.Board();
    DiagFormWindow()->TypeChecks[DIAG_KB_MOUSE]->setChecked(true);
    const bool queue = KeyboardQueueExists(b);
    auto* first = new QLineEdit(MainForm->centralWidget());
    auto* second = new QLineEdit(MainForm->centralWidget());
    first->show();
    second->show();
    first->setFocus();
    QVERIFY(WaitFor([&] { return QApplication::focusWidget() == first; }));

    QTest::keyClick(first, Qt::Key_Tab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(first));
    // The press goes with an empty shift state; the release as any key.
    QCOMPARE(KeyRows(), QStringList({"Key Press 0x0010, 0x0001", "Key Press 0x0009, 0x0000",
                                     "Key Release 0x0009, 0x0001", "Key Release 0x0010, 0x0000"}));
    if (queue) QCOMPARE(DrainQueue(b), std::vector<int>({0x12, 0x0D, 0xF0, 0x0D, 0xF0, 0x12}));

    QTest::keyClick(first, Qt::Key_F10);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(first));
    QVERIFY(MainForm->menuBar()->activeAction() == nullptr);
    QVERIFY(QApplication::activePopupWidget() == nullptr);
    QCOMPARE(KeyRows(), QStringList({"Key Press 0x0079, 0x0000", "Key Release 0x0079, 0x0000"}));
    if (queue) QCOMPARE(DrainQueue(b), std::vector<int>({0x09, 0xF0, 0x09}));
    delete first;
    delete second;
    if (!queue) qWarning("key codes checked; this build has no keyboard queue to check the bytes in");
}

void KeysTest::AutoRepeatIsRepeatedPresses() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    TVexaBoard* b = emu.Board();
    DiagFormWindow()->TypeChecks[DIAG_KB_MOUSE]->setChecked(true);
    const bool queue = KeyboardQueueExists(b);
    // X11 reports a held key as release/press pairs marked as repeats.
    Press(MainForm, Qt::Key_Z);
    Release(MainForm, Qt::Key_Z, {}, true);
    Press(MainForm, Qt::Key_Z, {}, true);
    Release(MainForm, Qt::Key_Z, {}, true);
    Press(MainForm, Qt::Key_Z, {}, true);
    Release(MainForm, Qt::Key_Z);
    QCOMPARE(KeyRows(), QStringList({"Key Press 0x005a, 0x0000", "Key Press 0x005a, 0x0000",
                                     "Key Press 0x005a, 0x0000", "Key Release 0x005a, 0x0000"}));
    if (queue) QCOMPARE(DrainQueue(b), std::vector<int>({0x1A, 0x1A, 0x1A, 0xF0, 0x1A}));
    if (!queue) qWarning("key codes checked; this build has no keyboard queue to check the bytes in");
}

void KeysTest::ReleasesMatchTheirPressesAndFocusLossReleasesHeldKeys() {
    Emulator emu("steps");
    QVERIFY(emu.Start());
    DiagFormWindow()->TypeChecks[DIAG_KB_MOUSE]->setChecked(true);
    auto send = [](QEvent::Type type, int key, quint32 scanCode) {
        QKeyEvent e(type, key, Qt::NoModifier, scanCode, 0, 0);
        QApplication::sendEvent(MainForm, &e);
    };
    // The physical key 38 is released after the layout changed what it means:
    // the machine still gets the release of the key it saw pressed.
    send(QEvent::KeyPress, Qt::Key_A, 38);
    send(QEvent::KeyRelease, Qt::Key_Q, 38);
    QCOMPARE(KeyRows(), QStringList({"Key Press 0x0041, 0x0000", "Key Release 0x0041, 0x0000"}));
    // Keys held when the window loses the focus are released in the machine.
    send(QEvent::KeyPress, Qt::Key_Shift, 50);
    send(QEvent::KeyPress, Qt::Key_Left, 113);
    KeyRows();
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(MainForm, &deactivate);
    QStringList released = KeyRows();
    released.sort();
    QCOMPARE(released, QStringList({"Key Release 0x0010, 0x0000", "Key Release 0x0025, 0x0000"}));
}

QTEST_MAIN(KeysTest)
#include "KeysTest.moc"
