#pragma once

#include <QByteArray>
#include <QChar>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>

#include "measurement/measurement_data.h"
#include "measurement/measurement_sample_source.h"

class QIODevice;

// Why reading or writing a measurement data file failed.
enum class MeasurementFileError {
  None,
  OpenFailed,     // the file could not be opened or created
  WriteFailed,    // writing or replacing the file failed; an old file is kept
  UnknownFormat,  // the first line is none of the accepted ones
  MissingHeader,  // the file ends inside the header, or a needed line is absent
  BadHeader,      // a header value cannot be read or is out of range
  BadRow,         // a data row holds a field that is not a number
  Truncated,      // the file ends inside the data, without its closing lines
  TooLarge,       // more rows than the chart can hold, or an overlong line
  Cancelled,      // OnBatch asked to stop
};

struct MeasurementFileResult {
  MeasurementFileError Error = MeasurementFileError::None;
  // 1-based line of the fault, 0 when it belongs to no line.
  std::int64_t Line = 0;
  // English text for the log or a message box; empty on success.
  QString Message;
  // After a failed read: true when the data hold the rows before the fault
  // (all of them well-formed), false when they were cleared.
  bool PartialData = false;

  bool Ok() const { return Error == MeasurementFileError::None; }
};

// The tab-separated measurement data file ("*.dat"): 8-bit text
// (Windows-1252, the degree sign is the byte 0xB0) with CR LF line ends.
//
//   [Sentinel DataFile][1.2]
//   Date:<TAB>start date, short date format of the locale
//   Time:<TAB>hh:mm:ss
//   Unit:<TAB>°C or °F
//   Resolution:<TAB>seconds per sample "/" value step, "%4.3f" each
//   Values:<TAB>11
//   Time<TAB>TObj<TAB>...<TAB>TAmb
//   hhh:mm:ss.mmm<TAB>value<TAB>...<TAB>value<TAB>      one row per sample
//   ---------------------------------
//   End of File
//
// The reader also takes "[Sentinel DataFile][1.1]" (the same layout) and
// "[Sentinel DataFile][1.0]" / "[Argo-Sentinel DataFile][1.0]" (five header
// lines, three value columns unless a "Values:" line says otherwise).
//
// Numbers are written with one decimal separator throughout and read with
// either '.' or ','; nothing process-wide is changed. Temperature columns
// (see ChannelValues::IsTemperature) are held in degrees Celsius and stored
// in the file's unit; Epsilon, mVin and Vcc are never converted.
//
// Neither direction shows anything or returns to the event loop: a caller
// that saves the chart while a measurement runs either refuses, or writes a
// MeasurementData snapshot (MeasurementData::Assign), since the chart may
// shift under a live MeasurementDiagramSource. OnProgress may repaint a
// status bar but must not process events. A save counts as done only when
// Write returns Ok; the unsaved-data question goes on only then.
class MeasurementDataFile {
 public:
  static constexpr int kHeaderLines = 6;     // lines 2..7 of the current format
  static constexpr int kOldHeaderLines = 5;  // lines 2..6 of the 1.0 formats
  static constexpr int kOldValueCount = 3;
  // Most rows a file may hold (the chart's largest capacity).
  static constexpr std::int64_t kMaxRows = 100'000'000;
  // Longest line accepted when reading.
  static constexpr int kMaxLineLength = 64 * 1024;
  // A stored value at or above this is "no value" and loads as 0.
  static constexpr double kNoValueLimit = 10000.0;
  // Parsed value of the "-----" field.
  static constexpr double kNoValueField = 99999.9;
  // Seconds added for each row whose time goes back (rows past midnight).
  static constexpr double kDaySeconds = 86399.999;

  enum class Version { Unknown, V1_0, V1_1, V1_2 };

  MeasurementDataFile();

  // Every 5 % of a write or read (0..100).
  std::function<void(int percent)> OnProgress;

  // When set, a read hands the rows over in batches instead of keeping them
  // all: every BatchRows rows it calls OnBatch with the data (header, value
  // range so far and those rows) and then drops the rows, keeping header and
  // value range. The rows after the last call stay in the data when the read
  // returns. OnBatch returning false ends the read with Cancelled.
  std::function<bool(const MeasurementData& batch)> OnBatch;
  std::int64_t BatchRows = 65536;

  // The separator of every number written: '.' or ','. Any other character
  // (a user-defined separator that would break the file) writes '.'.
  // Defaults to the program's separator (NumberText::DecimalSeparator()).
  QChar DecimalSeparator() const { return separator_; }
  void SetDecimalSeparator(QChar separator);
  // The locale of the start date's short format; the system locale by
  // default.
  const QLocale& DateLocale() const { return dateLocale_; }
  void SetDateLocale(const QLocale& locale) { dateLocale_ = locale; }

  // Writes the header and every sample of `samples` to `fileName`. The file
  // is written beside the target and renamed over it only when complete, so
  // a failed save never destroys an existing file. Fails (and writes
  // nothing) when the header's Resolution is outside 0.000001 .. 86400 s.
  MeasurementFileResult Write(const QString& fileName, const MeasurementFileHeader& header,
                              const MeasurementSampleSource& samples) const;
  // The same into an open device.
  MeasurementFileResult WriteTo(QIODevice& device, const MeasurementFileHeader& header,
                                const MeasurementSampleSource& samples) const;

  // Reads `fileName` into `data` (cleared first). On failure the result says
  // why and where; data holds the rows before the fault when PartialData is
  // set, else nothing.
  MeasurementFileResult Read(const QString& fileName, MeasurementData& data) const;
  MeasurementFileResult ReadFrom(QIODevice& device, MeasurementData& data) const;
  MeasurementFileResult ReadBytes(const QByteArray& bytes, MeasurementData& data) const;

  // ---- fields of the format ----
  static Version VersionOfFirstLine(const QString& line);
  // Time field of a row: hours (at least three digits), minutes, seconds and
  // milliseconds, e.g. 1.5 s -> "000:00:01.500". The time is rounded to whole
  // milliseconds first, so 0.9996 s gives "000:00:01.000".
  static QString TimeField(double seconds, QChar separator);
  // Reads a time field "h:m:s<sep>ms" ('.' or ','; the milliseconds as an
  // integer, so an old "01.1000" is 2 s); false for anything else.
  static bool ParseTimeField(const QString& field, double& seconds);
  // The text from `pos` up to the next tab (or the end), trailing blanks
  // removed; `pos` moves past the tab. Returns false when `pos` is past the
  // end of the line (no field left).
  static bool NextTabField(const QString& line, int& pos, QString& field);
  // A value field: "-----" gives kNoValueField, anything else a decimal
  // number with '.' or ','. False when the field is not a number.
  static bool ParseDataValue(const QString& field, double& value);
  // The text of one value as the writer stores it (channel 0..10, value in
  // degrees Celsius for temperature channels).
  static QString ValueField(int channel, float value, bool fahrenheit, int yDecimal, QChar separator);

 private:
  QChar separator_;
  QLocale dateLocale_;
};
