#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "drivers/argo/argo_types.h"

// The calibration grid of the ratio setup dialog: twelve rows of key and
// value ("Name" and "Value"), keys fixed, values editable only while the
// grid is unlocked (after a Read). Values are texts as the user typed them;
// Fill puts the driver's cached values in their text forms, Parse checks
// every row against its parameter's type before anything is written.
class RatioCalibrationModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Row {
    LwlDiameter,   // "r_LWL_dia"      unsigned 16-bit
    LwlLength,     // "r_LWL_len"      unsigned 16-bit
    MbStart,       // "r_MB_anf"       °C, "%.1F"
    MbEnd,         // "r_MB_end"       °C, "%.1F"
    ItemNumber,    // "r_ItemNumber"   unsigned 32-bit, integer text
    SerialNumber,  // "r_SerialNumber" unsigned 32-bit, integer text
    AddTop,        // "r_addTop"       signed 16-bit
    MulTop,        // "r_mulTop"       gain, "%.4F"
    AddQuot,       // "r_addQuot"      signed 16-bit
    MulQuot,       // "r_mulQuot"      gain, "%.4F"
    Deflection1,   // "r_deflection1"  "%.3F"
    Deflection2,   // "r_deflection2"  "%.3F"
    RowCount
  };
  enum Column { KeyColumn, ValueColumn, ColumnCount };
  // The channel of a two-point calibration: one-colour (AddTop, MulTop)
  // or quotient (AddQuot, MulQuot).
  enum class Channel { OneColour, Quotient };

  // The values as the device takes them, every one checked.
  struct TValues {
    std::uint16_t LwlDiameter = 0;
    std::uint16_t LwlLength = 0;
    float MbStart = 0.0f;
    float MbEnd = 0.0f;
    std::uint32_t ItemNumber = 0;
    std::uint32_t SerialNumber = 0;
    std::int16_t AddTop = 0;
    float MulTop = 0.0f;
    std::int16_t AddQuot = 0;
    float MulQuot = 0.0f;
    float Deflection1 = 0.0f;
    float Deflection2 = 0.0f;
    bool operator==(const TValues&) const = default;
  };
  // Parse's result: the values, or the first row (in the order of writing)
  // whose text is not a number its parameter can hold (the measuring range
  // also as the device takes it: 0 <= start < end <= 3000).
  struct TParsed {
    std::optional<TValues> values;
    int badRow = -1;
  };

  explicit RatioCalibrationModel(QObject* parent = nullptr);

  static QString Key(int row);
  // The row of `key`, -1 for none.
  static int RowOfKey(const QString& key);
  // The rows in the order Write sends them.
  static const std::array<int, RowCount>& WriteOrder();

  QString Value(int row) const;
  void SetValue(int row, const QString& text);
  // Every value from the cache in its text form.
  void Fill(const TArgoConfig& config);
  // Reset of one channel: its offset and gain from the cache.
  void ResetChannel(Channel channel, const TArgoConfig& config);
  // The offset and gain rows of `channel`.
  static int OffsetRow(Channel channel);
  static int GainRow(Channel channel);

  // Locked: nothing is editable (until the next Read).
  bool Locked() const { return locked_; }
  void SetLocked(bool locked);

  TParsed Parse() const;
  // The text form of `value` for `row` ("%.1F", "%.4F", "%.3F" or integer).
  static QString FormatValue(int row, double value);

  // QAbstractTableModel
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  std::array<QString, RowCount> values_;
  bool locked_ = true;
};
