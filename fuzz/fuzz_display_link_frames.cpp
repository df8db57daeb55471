// Feeds arbitrary bytes to both ends of the display link: the frame reader
// of either program, then every message it yields to the display window
// (offscreen) and, for reports, to the main program's record keeping.
// Checks that the reader never yields a frame beyond its caps and that a
// record changed by reports still reads back from its saved line.
#include <QApplication>
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/display_link.h"
#include "glowreadout/f_main.h"
#include "platform/display_link_protocol.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

QApplication& App() {
  static int argc = 1;
  static char name[] = "fuzz_display_link_frames";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return new QApplication(argc, argv);
  }();
  return *app;
}

}  // namespace

// The font library keeps caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  App();
  static TfMain* display = [] {
    auto* w = new TfMain({QStringLiteral("/pos=10,10,200,100")});
    w->show();
    return w;
  }();
  DisplayLink::TFrameReader reader;
  reader.Feed(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  TDisplayRecord record;
  record.Window = 1;
  int count = 0;
  while (std::optional<DisplayLink::TLinkMessage> m = reader.Next()) {
    Check(m->Data.size() <= DisplayLink::kMaxTextBytes + 16);
    Check(!m->HasData || DisplayLink::TakesData(m->Msg));
    // The display never closes for good here: a close request only hides it.
    display->HandleMessage(*m);
    if (m->Msg == DisplayLink::MsgDisplayReport) {
      TDisplayLink::ApplyReport(record, DisplayLink::DecodeReport(m->LParam), QRect(0, 0, 1920, 1080));
    }
    if (++count > 10000) break;
  }
  const std::optional<TDisplayRecord> again = TDisplayRecord::Parse(record.ToLine());
  Check(again && *again == record);
  QCoreApplication::processEvents();
  return 0;
}
