// The main window's status bar: 17 panels, numbered left to right. The ones
// the machine or the debugger write have names; the rest are labels and spacers.
#pragma once

enum StatusPanel : int {
    PanelRunState = 0,   // "RUN" / "IDLE"
    PanelSpeed = 1,      // emulated MHz
    PanelFrameRate = 2,  // frames per second
    PanelSdReadLamp = 5, // drawn by the window
    PanelSdWriteLamp = 6,
    PanelVideoActive = 9, // "ACT" / "INH"
    PanelVideoMode = 12,  // the video mode's name
    PanelLineCop = 15,    // "RUN" / "IDLE"
};
constexpr int StatusPanelCount = 17;
