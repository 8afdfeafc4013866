// --save-state FILE@FRAME: writes a save state once the run reaches a frame.
#pragma once

#include <memory>
#include <string>

class RunFeature;

// "FILE@FRAME" (at the end of the first chunk that reaches FRAME) or "FILE"
// (at the end of the run). Null with a reason when the text is unusable.
std::unique_ptr<RunFeature> MakeSaveStateFeature(const std::string& request, std::string* error);
