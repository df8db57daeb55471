#pragma once

#include <array>
#include <optional>

#include "drivers/argo/argo_types.h"

// The logic of the ratio dialog's page "Display settings": what the eight
// visual-alarm rows, the threshold controls and the standard-display button
// show for a cached configuration, and the rows written back after an edit.
// No widgets: the dialog applies the page state to its controls.
class RatioDisplayPage {
 public:
  static constexpr int kRows = 8;
  // Sources of the visual alarm (the source combo's items): 0 Tquot,
  // 1 Tsingle, 2 Tau, 3 TBox, 4 process value, 5..7 fixed blue, green, red.
  static constexpr int kProcessValueSource = 4;
  static constexpr int kFixedColourSources = 3;
  static constexpr int kSourceCount = 8;
  // LED bits of a row entry.
  static constexpr std::uint8_t kBlue = 4, kGreen = 2, kRed = 1;
  // ALmode bits.
  static constexpr std::uint8_t kThresholdMode = 1, kBlueClosed = 4, kRedClosed = 8;

  enum class Unit { Celsius, Fahrenheit, Percent };

  struct TRow {
    double low = 0.0, high = 0.0;         // display unit (percent for Tau)
    double minimum = 0.0, maximum = 0.0;  // the spin edits' limits
    bool blue = false, green = false, red = false;
    bool lit = false;  // some LED set: button-face panel, else light grey (208, 208, 208)
  };
  struct TState {
    // The source whose entries the rows show and edit (0..3); none for a
    // fixed colour or a source byte the page does not know (rows disabled,
    // group shrunk to the source combo, nothing written).
    std::optional<int> dataSource;
    bool rowsEnabled = false;
    Unit unit = Unit::Celsius;
    std::array<TRow, kRows> rows{};
    // Backlight mode (extended-alarm firmware only).
    bool modeChoiceVisible = false;
    bool thresholdMode = false;
    bool rangesGroupVisible = true;
    bool standardButtonVisible = true;
    bool thresholdGroupVisible = false;
    double valueBlue = 0.0, valueRed = 0.0;  // display unit
    double hysteresis = 0.0;                 // difference in the display unit
    bool blueClosed = false, redClosed = false;
  };
  // What one row's controls hold (display unit, percent for Tau).
  struct TRowEdit {
    double low = 0.0, high = 0.0;
    bool blue = false, green = false, red = false;
  };

  // The data source of the combo's `source` index: 0..3 as they are; 4 by
  // the process source (0 or 1 as they are, 2 gives Tau); 5..7 and
  // anything else none.
  static std::optional<int> DataSource(int source, std::uint8_t processSource);
  // The range of a data source in °C (percent for Tau): Tquot and Tsingle
  // the model's range, Tau -50..100, TBox -20..80.
  static void SourceRange(int dataSource, const TArgoConfig& config, double& low, double& high);

  // LoadDisplayPage: the page for the combo's `source` index.
  static TState Load(int source, const TArgoConfig& config);
  // The eight rows to write after an edit: the cached rows with the data
  // source's entries replaced by the edits (converted to °C unless Tau),
  // the other sources' entries as cached. None when the source has no data
  // entries (fixed colours, an unknown source byte): nothing is written.
  static std::optional<TArgoVisualAlarms> Rows(int source, const TArgoConfig& config,
                                               const std::array<TRowEdit, kRows>& edits);
  // 4 x blue + 2 x green + red.
  static std::uint8_t PackLeds(bool blue, bool green, bool red);
  // The combo index for a cached source byte; -1 for a byte it has no item for.
  static int SourceIndex(std::uint8_t sourceByte);
};
