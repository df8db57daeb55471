#pragma once

#include <cstdint>

// How an axis of the chart follows the data.
enum TDiagramScaleMode : std::uint8_t { smManual = 0, smGlobal = 1, smLocal = 2 };

// What the chart does when its capacity is reached.
enum TDiagramMemoryMode : std::uint8_t { dmmStop = 0, dmmOverwrite = 1 };
