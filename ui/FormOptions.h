// The options dialog. The speed, the picture's filtering and scaling and
// rewind take effect at once and are kept across runs; the other controls
// keep their state for the run and change nothing.
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
    QCheckBox* ChkIntegerScale;
    QCheckBox* ChkRewind;

    // Writes the settings that last across runs.
    void SaveSettings() const;

public slots:
    void ChkSpeedClick();
};
