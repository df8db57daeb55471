// Feeds the chart's data model with samples at arbitrary times (negative, NaN,
// huge, backwards) and arbitrary values, interleaved with the operations that
// move its window, drop old slots, hold and change its size, and checks that
// what it reports stays consistent.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ui/diagram_model.h"

namespace {

struct Reader {
  const std::uint8_t* p;
  std::size_t n;
  template <class T>
  T Take() {
    T v{};
    if (n >= sizeof(T)) {
      std::memcpy(&v, p, sizeof(T));
      p += sizeof(T);
      n -= sizeof(T);
    } else {
      n = 0;
    }
    return v;
  }
};

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Reader r{data, size};
  TDiagramModel c;
  c.SetGraphCount(1 + r.Take<std::uint8_t>() % 12);
  const double resolutions[] = {0.001, 0.01, 0.1, 1.0, 900.0, 0.0, -1.0, NAN};
  c.SetResolution(resolutions[r.Take<std::uint8_t>() % 8]);
  c.SetMaxData(1 + r.Take<std::uint16_t>() % 5000);
  c.SetMemoryMode(r.Take<std::uint8_t>() & 1 ? dmmOverwrite : dmmStop);
  c.SetYRangeMin(-100);
  c.SetYRangeMax(1000);
  c.Reset(smLocal, 0, 1);
  for (int g = 0; g < c.GraphCount(); ++g) {
    TGraphProperties p;
    p.ShowDiagram = true;
    p.RangeDiagram = (g & 1) == 0;
    c.SetGraph(g, p);
  }
  c.SetYScaleMode(smGlobal);

  double t = 0;
  int steps = 0;
  while (r.n > 0 && steps++ < 2000) {
    const std::uint8_t op = r.Take<std::uint8_t>();
    switch (op % 12) {
      case 0:  // arbitrary time
        t = r.Take<double>();
        break;
      case 1:  // small step forward or back
        t += static_cast<double>(r.Take<std::int16_t>()) * 0.001;
        break;
      case 2:
        t += static_cast<double>(r.Take<std::uint16_t>()) * 0.01;
        break;
      case 3:
        c.DropOverflow();
        break;
      case 4:
        c.ToggleHold();
        break;
      case 5:
        c.SetXMax(t);
        break;
      case 6:
        c.XZoomFull();
        break;
      case 7:
        c.XScroll(r.Take<std::int32_t>());
        c.YScroll(r.Take<std::int32_t>());
        break;
      case 8:
        c.SetGraphCount(r.Take<std::uint8_t>() % 14);
        break;
      case 9:
        c.SetYScaleMode(static_cast<TDiagramScaleMode>(r.Take<std::uint8_t>() % 3));
        c.SetXWindow(r.Take<std::int32_t>(), r.Take<std::int32_t>());
        break;
      case 10:
        c.SetXExcludeRanging(r.Take<float>());
        break;
      default:
        break;
    }
    float values[12];
    for (float& v : values) v = r.Take<float>();
    c.AddValues(std::span<const float>(values, r.Take<std::uint8_t>() % 13), t);
    if (op & 0x80) c.DropOverflow();

    Check(c.UsedData() >= 0);
    Check(c.GraphCount() >= 1 && c.GraphCount() <= 12);
    Check(c.StoreBytes() < (std::size_t{1} << 31));
    for (std::int64_t i = 0; i <= c.UsedData(); i += 1 + c.UsedData() / 7) (void)c.SlotValue(0, i);
    // The envelope a paint reads agrees with the exact extremes, for one graph
    // and for all graphs at once, over the whole store and a stretch of it.
    TDiagramStore::TEnvelope all[TDiagramStore::kMaxGraphs];
    const std::int64_t last = c.ShownLast();
    for (const std::int64_t from : {std::int64_t{0}, last / 3}) {
      const std::int64_t to = from == 0 ? last + 1 : last - last / 5;
      c.ShownEnvelopes(from, to, std::span(all, c.GraphCount()));
      for (int g = 0; g < c.GraphCount(); ++g) {
        const TDiagramStore::TExtremes x = c.ShownExtremes(g, from, to);
        const TDiagramStore::TEnvelope e = c.ShownEnvelope(g, from, to);
        Check(e.Found == x.Found && all[g].Found == x.Found);
        if (!x.Found) continue;
        Check(e.Min == x.Min && e.Max == x.Max && e.MinFirst == (x.MinSlot < x.MaxSlot));
        Check(all[g].Min == x.Min && all[g].Max == x.Max && all[g].MinFirst == e.MinFirst);
        Check(x.MinSlot >= from && x.MinSlot < to && c.ShownValue(g, x.MinSlot) == x.Min);
      }
    }
    (void)c.ValueAt(c.GraphCount() - 1, t);
  }
  return 0;
}
