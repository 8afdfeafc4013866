#pragma once

// Set by --rebaseline: golden-image cases write their expected PNG.
extern bool GoldenRebaseline;
