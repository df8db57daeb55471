#include "app/view_settings_rows.h"

#include <algorithm>

#include "drivers/device_type.h"
#include "measurement/channel_values.h"

namespace {

constexpr std::uint8_t kConnectedState = 5;

bool Connected(const TViewSettings& view) { return view.Measuring >= kConnectedState; }

}  // namespace

ViewSettingsRows::Lock ViewSettingsRows::RowLock(const TViewSettings& view, int row, bool fastMode) {
  using namespace ChannelValues;
  const std::uint8_t type = view.DeviceType;
  const bool brio = DeviceType::IsBrio(type);
  bool delivered = true;
  switch (row) {
    case TInt:
    case TAct:
      delivered = !(type == DeviceType::ArgoRatio && Connected(view));
      break;
    case TBox:
      delivered = !DeviceType::IsBrioFirstGeneration(type);
      break;
    case T2C:
    case T1C:
    case Tau:
      delivered = !(brio || (type == DeviceType::Argo && Connected(view)));
      break;
    case Epsilon:
    case MVin:
    case Vcc:
    case TAmb:
      delivered = type == DeviceType::Briov2 || type == DeviceType::Dunav2;
      break;
    default:
      break;
  }
  // In 1 ms mode only the object temperature is transferred.
  if (fastMode && (row == TInt || row == TBox)) delivered = false;
  if (!delivered) return Lock::NotDelivered;
  return view.RowsEnabled ? Lock::None : Lock::Measurement;
}

bool ViewSettingsRows::DiagramForcedOff(const TViewSettings& view, int row) {
  return (row == ChannelValues::TInt || row == ChannelValues::TAct) &&
         view.DeviceType == DeviceType::ArgoRatio && Connected(view);
}

std::array<TGraphProperties, 11> ViewSettingsRows::GraphsOnOk(const TViewSettings& view,
                                                              const std::array<RowInput, 11>& input,
                                                              bool fastMode) {
  std::array<TGraphProperties, 11> graphs = view.Graphs;
  for (int row = 0; row < kRowCount; ++row) {
    TGraphProperties& g = graphs[row];
    const RowInput& in = input[row];
    switch (RowLock(view, row, fastMode)) {
      case Lock::None:
        g.ShowDigital = in.ShowDigital;
        g.ShowDiagram = in.ShowDiagram;
        // The range box can be ticked only while the row is drawn.
        g.RangeDiagram = in.RangeDiagram && g.ShowDiagram;
        g.PenWidth = static_cast<std::uint8_t>(std::clamp(in.PenWidth, kMinPenWidth, kMaxPenWidth));
        break;
      case Lock::Measurement:
        break;
      case Lock::NotDelivered:
        g.ShowDigital = false;
        g.ShowDiagram = false;
        g.RangeDiagram = false;
        break;
    }
  }
  graphs[ChannelValues::TObj].ShowDiagram = true;
  graphs[ChannelValues::TObj].RangeDiagram = true;
  return graphs;
}
