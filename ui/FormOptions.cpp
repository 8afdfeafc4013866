#include "ui/FormOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/FormMain.h"
#include "ui/Settings.h"

TOptionsForm* OptionsForm = nullptr;

namespace {

QWidget* Page(QTabWidget* tabs, const char* title) {
    auto* page = new QWidget(tabs);
    new QVBoxLayout(page);
    tabs->addTab(page, title);
    return page;
}

QCheckBox* Check(QWidget* page, const char* name, const char* caption, bool ticked, bool enabled) {
    auto* box = new QCheckBox(caption, page);
    box->setObjectName(name);
    box->setChecked(ticked);
    box->setEnabled(enabled);
    page->layout()->addWidget(box);
    return box;
}

} // namespace

TOptionsForm::TOptionsForm() {
    OptionsForm = this;
    setObjectName("OptionsForm");
    setWindowTitle("Emulator Options");
    auto* tabs = new QTabWidget(this);
    tabs->setUsesScrollButtons(false); // every page's tab in view

    QWidget* general = Page(tabs, "General");
    auto* grpSpeed = new QGroupBox(" Speed ", general);
    auto* speedLayout = new QVBoxLayout(grpSpeed);
    ChkSpeed = new QCheckBox("Automatically Control Emulation Speed", grpSpeed);
    ChkSpeed->setObjectName("ChkSpeed");
    ChkSpeed->setChecked(true);
    SpeedBar = new QSlider(Qt::Horizontal, grpSpeed);
    SpeedBar->setObjectName("SpeedBar");
    SpeedBar->setRange(200000, 3000000);
    SpeedBar->setTickInterval(100000);
    SpeedBar->setTickPosition(QSlider::TicksBelow);
    SpeedBar->setSingleStep(100000);
    SpeedBar->setPageStep(100000);
    SpeedBar->setValue(500000);
    SpeedBar->setEnabled(false);
    SpeedBar->setToolTip("T-states per 15 ms: 300,000 is the board's own pace");
    auto* barRow = new QHBoxLayout;
    barRow->addWidget(new QLabel("Slow", grpSpeed));
    barRow->addWidget(SpeedBar, 1);
    barRow->addWidget(new QLabel("Fast", grpSpeed));
    speedLayout->addWidget(ChkSpeed);
    speedLayout->addLayout(barRow);
    general->layout()->addWidget(grpSpeed);
    ChkSDWriteSupport =
        Check(general, "ChkSDWriteSupport", "Enable Write Support for SD/MMC (CAUTION!)", false, false);
    ChkRewind = Check(general, "ChkRewind", "Keep snapshots for rewind (hold Ctrl+Alt+R)", true, true);
    static_cast<QVBoxLayout*>(general->layout())->addStretch(1);
    connect(ChkSpeed, &QCheckBox::clicked, this, &TOptionsForm::ChkSpeedClick);

    QWidget* video = Page(tabs, "Video");
    auto* grpVideo = new QGroupBox(" Video System ", video);
    grpVideo->setObjectName("GrpVideoSystem");
    grpVideo->setEnabled(false);
    auto* videoLayout = new QVBoxLayout(grpVideo);
    RadioPAL = new QRadioButton("PAL (Non-Interlaced)", grpVideo);
    RadioNTSC = new QRadioButton("NTSC (Non-Interlaced)", grpVideo);
    RadioVGA = new QRadioButton("VGA", grpVideo);
    RadioVGA->setChecked(true);
    videoLayout->addWidget(RadioPAL);
    videoLayout->addWidget(RadioNTSC);
    videoLayout->addWidget(RadioVGA);
    video->layout()->addWidget(grpVideo);
    ChkAntiAlias = Check(video, "ChkAntiAlias", "Use anti-alias when scaling (More CPU!)", true, true);
    ChkIntegerScale = Check(video, "ChkIntegerScale", "Scale by whole pixels only (integer scaling)", false, true);
    static_cast<QVBoxLayout*>(video->layout())->addStretch(1);

    QWidget* audio = Page(tabs, "Audio");
    ChkAudioEnabled = Check(audio, "ChkAudioEnabled", "Audio Enabled", true, false);
    ChkLinearInterpolation = Check(audio, "ChkLinearInterpolation", "Use Linear Interpolation", false, false);
    static_cast<QVBoxLayout*>(audio->layout())->addStretch(1);

    QWidget* devices = Page(tabs, "Devices");
    auto* grpSerial = new QGroupBox(" Serial ", devices);
    grpSerial->setEnabled(false);
    auto* serialLayout = new QHBoxLayout(grpSerial);
    ChkSerial = new QCheckBox(grpSerial);
    ChkSerial->setObjectName("ChkSerial");
    ComboSerial = new QComboBox(grpSerial);
    ComboSerial->setObjectName("ComboSerial");
    for (int i = 1; i <= 8; ++i) ComboSerial->addItem(QString("COM%1").arg(i));
    serialLayout->addWidget(ChkSerial);
    serialLayout->addWidget(ComboSerial, 1);
    devices->layout()->addWidget(grpSerial);
    static_cast<QVBoxLayout*>(devices->layout())->addStretch(1);

    QWidget* ide = Page(tabs, "IDE Interface");
    ChkIDE = Check(ide, "ChkIDE", "IDE Interface Fitted", false, false);
    static_cast<QVBoxLayout*>(ide->layout())->addStretch(1);

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("BtnOK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);

    auto settings = OpenSettings();
    ChkSpeed->setChecked(settings->value("speed/automatic", true).toBool());
    SpeedBar->setValue(settings->value("speed/slider", 500000).toInt());
    SpeedBar->setEnabled(!ChkSpeed->isChecked());
    ChkAntiAlias->setChecked(settings->value("video/antialias", true).toBool());
    ChkIntegerScale->setChecked(settings->value("video/integer", false).toBool());
    ChkRewind->setChecked(settings->value("rewind/enabled", true).toBool());
    // Each change takes effect at once, as a slider should.
    auto apply = [] {
        if (MainForm) MainForm->ApplyOptions();
    };
    connect(SpeedBar, &QSlider::valueChanged, this, apply);
    for (QCheckBox* box : {ChkAntiAlias, ChkIntegerScale, ChkRewind})
        connect(box, &QCheckBox::toggled, this, apply);
    apply();
}

void TOptionsForm::SaveSettings() const {
    auto settings = OpenSettings();
    settings->setValue("speed/automatic", ChkSpeed->isChecked());
    settings->setValue("speed/slider", SpeedBar->value());
    settings->setValue("video/antialias", ChkAntiAlias->isChecked());
    settings->setValue("video/integer", ChkIntegerScale->isChecked());
    settings->setValue("rewind/enabled", ChkRewind->isChecked());
}

TOptionsForm::~TOptionsForm() {
    if (OptionsForm == this) OptionsForm = nullptr;
}

void TOptionsForm::ChkSpeedClick() {
    SpeedBar->setEnabled(!ChkSpeed->isChecked());
    if (MainForm) MainForm->ApplyOptions();
}
