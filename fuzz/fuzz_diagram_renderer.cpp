// Drives a chart like a live one, with arbitrary samples, steps of its window,
// zooms, holds, Y changes and sizes, and checks that every drawing that moves
// the previous picture equals a full drawing of the same chart.

#include <QGuiApplication>
#include <QImage>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ui/diagram_model.h"
#include "ui/diagram_renderer.h"

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

QGuiApplication& App() {
  static int argc = 1;
  static char name[] = "fuzz_diagram_renderer";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QGuiApplication(argc, argv);
  }();
  return *app;
}

}  // namespace

// The font library keeps caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  App();
  Reader r{data, size};
  TDiagramModel c;
  c.SetGraphCount(1 + r.Take<std::uint8_t>() % 4);
  c.SetResolution(0.001);
  c.SetMaxData(100 + r.Take<std::uint16_t>() % 20000);
  c.SetMemoryMode(r.Take<std::uint8_t>() & 1 ? dmmOverwrite : dmmStop);
  c.SetYRangeMin(-1000);
  c.SetYRangeMax(1000);
  c.Reset(smLocal, 0, 1);
  c.SetYMin(-50);
  c.SetYMax(150);
  for (int g = 0; g < c.GraphCount(); ++g) {
    TGraphProperties p;
    p.ShowDiagram = true;
    p.Color = 0x00402000u + static_cast<std::uint32_t>(g) * 0x00300030u;
    p.PenWidth = r.Take<std::uint8_t>() % 8 == 0 ? 2 : 1;
    c.SetGraph(g, p);
  }
  const QSize sizes[] = {{220, 150}, {301, 171}, {160, 90}};
  const QSize buffer = sizes[r.Take<std::uint8_t>() % 3];
  TDiagramRenderer live;
  double t = 0;
  std::int64_t width = 200 + r.Take<std::uint16_t>() % 4000;
  int steps = 0;
  while (r.n > 0 && steps++ < 60) {
    const std::uint8_t op = r.Take<std::uint8_t>();
    const int samples = r.Take<std::uint8_t>();
    for (int k = 0; k < samples; ++k) {
      float values[4];
      for (float& v : values) v = static_cast<float>(r.Take<std::int8_t>());
      if (op & 0x40) values[k % 4] = NAN;
      t += (op & 0x20) && k == 0 ? -0.001 * (r.Take<std::uint8_t>() % 50) : 0.001;
      c.AddValues(std::span<const float>(values, 4), t);
      c.DropOverflow();
    }
    switch (op % 8) {
      case 0:
        width = 50 + r.Take<std::uint16_t>() % 6000;
        c.SetXConstDiff(false);
        c.SetXMin(t - static_cast<double>(width) * 0.001);
        break;
      case 1:
        c.SetYMax(c.YMax() + r.Take<std::int8_t>());
        break;
      case 2:
        c.ToggleHold();
        break;
      case 3:
        c.XZoomFull();
        break;
      default:
        break;
    }
    c.SetXConstDiff(true);
    c.SetXMax(t);
    live.Render(c, buffer, buffer.width() + 19, buffer.height() + 19, QColor(250, 250, 250));
    TDiagramRenderer fresh;
    fresh.SetScrolling(false);
    fresh.Render(c, buffer, buffer.width() + 19, buffer.height() + 19, QColor(250, 250, 250));
    if (live.Image() != fresh.Image()) std::abort();
  }
  return 0;
}
