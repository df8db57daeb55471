#pragma once

#include <QString>
#include <cstdint>

// Display record of one channel: whether it shows in a value panel and in
// the chart, whether it takes part in the chart's automatic Y range, and the
// pen it is drawn with. Name is the channel's display name; the chart only
// copies it.
struct TGraphProperties {
  bool ShowDigital = false;
  bool ShowDiagram = false;
  bool RangeDiagram = false;
  std::uint8_t PenWidth = 1;
  std::uint32_t Color = 0;  // 0x00BBGGRR
  QString Name;

  friend bool operator==(const TGraphProperties&, const TGraphProperties&) = default;
};
