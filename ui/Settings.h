// Where the window keeps what the user chose (speed, picture, window places):
// QSettings under "vexa", or the INI file VEXA_SETTINGS names (tests use a
// private one).
#pragma once

#include <QSettings>
#include <memory>

inline std::unique_ptr<QSettings> OpenSettings() {
    const QByteArray file = qgetenv("VEXA_SETTINGS");
    if (!file.isEmpty()) return std::make_unique<QSettings>(QString::fromLocal8Bit(file), QSettings::IniFormat);
    return std::make_unique<QSettings>("vexa", "vexa");
}
