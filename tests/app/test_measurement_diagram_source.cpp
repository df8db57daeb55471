#include <gtest/gtest.h>

#include <QDateTime>
#include <QTemporaryDir>

#include "app/measurement_diagram_source.h"
#include "measurement/channel_values.h"
#include "measurement/measurement_data.h"
#include "measurement/measurement_data_file.h"
#include "ui/diagram_model.h"

namespace {

namespace CV = ChannelValues;

TEST(MeasurementDiagramSourceTest, ChartSamplesWrittenAndReadBack) {
  TDiagramModel chart;
  chart.SetGraphCount(11);
  chart.SetResolution(0.25);
  chart.SetYDecimal(2);
  chart.Reset(smLocal, 0.0, 1.0);
  for (int i = 0; i <= 8; ++i) {
    TChannelValues v{};
    for (int ch = 0; ch < 11; ++ch) v[ch] = static_cast<float>(ch) + 0.25f * static_cast<float>(i);
    chart.AddValues(v, 0.25 * i);
  }
  const QDateTime start(QDate(2026, 1, 2), QTime(3, 4, 5));
  const MeasurementDiagramSource source(chart);
  const MeasurementFileHeader header = MeasurementDiagramSource::HeaderFor(chart, start, true);
  EXPECT_EQ(source.SampleCount(), chart.UsedData() + 1);
  ASSERT_GE(source.SampleCount(), 8);

  // Written from a snapshot, as while a measurement goes on.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("chart.dat"));
  MeasurementData snapshot;
  snapshot.Assign(source);
  ASSERT_TRUE(MeasurementDataFile().Write(path, header, snapshot).Ok());
  MeasurementData read;
  ASSERT_TRUE(MeasurementDataFile().Read(path, read).Ok());
  EXPECT_EQ(read.Header.StartDateTime(), start);
  EXPECT_EQ(read.Header.YDecimal, 2);
  EXPECT_DOUBLE_EQ(read.Header.Resolution, 0.25);
  ASSERT_EQ(read.SampleCount(), source.SampleCount());
  for (std::int64_t i = 0; i < read.SampleCount(); ++i) {
    EXPECT_DOUBLE_EQ(read.SampleTime(i), 0.25 * static_cast<double>(i));
    for (int ch = 0; ch < 11; ++ch) {
      EXPECT_NEAR(read.Values(i)[ch], chart.SlotValue(ch, i), CV::IsTemperature(ch) ? 0.003 : 0.0005)
          << i << " " << ch;
    }
  }
}

}  // namespace
