// The options dialog. Its controls keep their state for the run and are read
// by nothing else: the machine's behaviour comes from config.txt alone.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QRadioButton;
class QSlider;
class TOptionsForm;

extern TOptionsForm* OptionsForm;

class TOptionsForm : public QDialog {
    Q_OBJECT
public:
    TOptionsForm();
    ~TOptionsForm() override;

    QCheckBox* ChkSpeed;
    QSlider* SpeedBar;
    QCheckBox* ChkSDWriteSupport;
    QRadioButton *RadioPAL, *RadioNTSC, *RadioVGA;
    QCheckBox* ChkAntiAlias;
    QCheckBox* ChkAudioEnabled;
    QCheckBox* ChkLinearInterpolation;
    QCheckBox* ChkSerial;
    QComboBox* ComboSerial;
    QCheckBox* ChkIDE;

public slots:
    void ChkSpeedClick();
};
