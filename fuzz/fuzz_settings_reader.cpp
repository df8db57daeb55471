// Reads arbitrary bytes as the settings file (in memory): every read must
// give a usable value, and writing the first-run set back must not change
// what reads back.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "measurement/config.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

QVariantList Graph(const TGraphProperties& g) {
  return {g.ShowDigital, g.ShowDiagram, g.RangeDiagram, int(g.PenWidth), qint64(g.Color)};
}

// The typed values of the first-run set (texts other than the decimal
// character are left out: the file format may hold texts that it cannot take
// back unchanged, such as a value in two pairs of quotes).
QVariantList FirstRunValues(const TConfig& c) {
  const TRect r = c.ReadWindowRect();
  const TSlopeRaster s = c.ReadSlopeRaster();
  const TOptions o = c.ReadOptions();
  return {r.Left,
          r.Top,
          r.Right,
          r.Bottom,
          c.ReadComPort(),
          c.ReadBaudrate(),
          int(c.ReadDeviceType()),
          c.ReadBrioSerial(),
          c.ReadArgoSerial(),
          int(c.ReadRS845Addr()),
          c.ReadScale(),
          c.ReadResolution(),
          c.ReadMinScale(),
          c.ReadMaxScale(),
          c.ReadYRangeMin(),
          c.ReadYRangeMax(),
          c.ReadInitialTime(),
          qint64(c.ReadMaxData()),
          int(s.T),
          int(s.O),
          c.ReadSmoothCycles(),
          c.ReadSmartSmoothing(),
          Graph(c.ReadTObjGraph()),
          Graph(c.ReadTIntGraph()),
          Graph(c.ReadTBoxGraph()),
          Graph(c.ReadTActGraph()),
          qint64(o.Flags),
          QString(o.DecimalUserDefined),
          int(c.ReadArgoDeviceSetupPage()),
          int(c.ReadVererodurDeviceSetupPage()),
          c.ReadArgo1ms(),
          int(c.ReadPriority()),
          int(c.ReadDisplayList().size()),
          c.ReadInvisible()};
}

void ReadEverything(const TConfig& c) {
  (void)c.ReadMenuPanel();
  (void)c.ReadGlowReadout2();
  (void)c.ReadLanguageFile();
  (void)c.ReadTemperatureUnit();
  (void)c.ReadArgoScanTimeOut();
  (void)c.ReadArgoBurstStartDelay();
  (void)c.ReadBrioBurstStartDelay();
  (void)c.ReadOnMaxData();
  (void)c.ReadAdjustColor();
  (void)c.ReadCommunicationMode();
  (void)c.ReadTQuotGraph();
  (void)c.ReadTSingleGraph();
  (void)c.ReadTauGraph();
  (void)c.ReadEpsGraph();
  (void)c.ReadmVinGraph();
  (void)c.ReadVccGraph();
  (void)c.ReadAmbientGraph();
  Check(c.ReadDisplayList().size() <= TConfig::kMaxDisplayListCount);
  const std::int64_t maxData = c.ReadMaxData();
  Check(maxData >= TConfig::kMinMaxData && maxData <= TConfig::kMaxMaxData);
  Check(c.ReadResolution() >= TConfig::kMinResolution);
  Check(c.ReadOptions().Flags < (1u << kOptionCount));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TConfig config =
      TConfig::FromContent(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  config.SetDefaultWindowRect({100, 100, 1820, 980});
  config.SetDefaultTitle(QStringLiteral("Therma Sentinel 1.0.0.1"));
  ReadEverything(config);
  const QVariantList before = FirstRunValues(config);

  // In memory every write is taken; what was read writes back unchanged,
  // both as the written document reads it and as the written file reads
  // back. (Normalising a second time writes the same texts again: it would
  // check nothing more.)
  Check(config.NormaliseSettings());
  Check(FirstRunValues(config) == before);
  TConfig reread = TConfig::FromContent(config.Content());
  reread.SetDefaultWindowRect(config.DefaultWindowRect());
  reread.SetDefaultTitle(config.DefaultTitle());
  ReadEverything(reread);
  Check(FirstRunValues(reread) == before);
  Check(reread.ReadDisplayList() == config.ReadDisplayList());
  Check(reread.ReadOptions() == config.ReadOptions());
  return 0;
}
