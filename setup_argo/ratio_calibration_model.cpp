#include "setup_argo/ratio_calibration_model.h"

#include <cmath>
#include <limits>

#include "drivers/argo/argo_codec.h"
#include "platform/number_text.h"

namespace {

enum class Kind { Unsigned16, Signed16, Unsigned32, Temperature, Gain, Deflection };

struct TRowSpec {
  const char* key;
  Kind kind;
};

constexpr std::array<TRowSpec, RatioCalibrationModel::RowCount> kRows = {{
    {"r_LWL_dia", Kind::Unsigned16},
    {"r_LWL_len", Kind::Unsigned16},
    {"r_MB_anf", Kind::Temperature},
    {"r_MB_end", Kind::Temperature},
    {"r_ItemNumber", Kind::Unsigned32},
    {"r_SerialNumber", Kind::Unsigned32},
    {"r_addTop", Kind::Signed16},
    {"r_mulTop", Kind::Gain},
    {"r_addQuot", Kind::Signed16},
    {"r_mulQuot", Kind::Gain},
    {"r_deflection1", Kind::Deflection},
    {"r_deflection2", Kind::Deflection},
}};

Kind KindOf(int row) { return kRows[static_cast<std::size_t>(row)].kind; }

// A rounded number within [lo, hi].
std::optional<std::int64_t> RoundedInRange(const QString& text, std::int64_t lo, std::int64_t hi) {
  const std::optional<double> v = NumberText::ParseFloatTolerant(text);
  if (!v || *v < static_cast<double>(lo) - 0.5 || *v > static_cast<double>(hi) + 0.5) return std::nullopt;
  const std::int64_t r = NumberText::Round(*v);
  if (r < lo || r > hi) return std::nullopt;
  return r;
}

// An integer text (no fraction) of the unsigned 32-bit range.
std::optional<std::uint32_t> Unsigned32(const QString& text) {
  std::int64_t v = 0;
  if (!NumberText::TryStrToInt(text, v) || v < 0 || v > std::numeric_limits<std::uint32_t>::max())
    return std::nullopt;
  return static_cast<std::uint32_t>(v);
}

// A number the device's word for `kind` can hold.
std::optional<float> WordValue(const QString& text, Kind kind) {
  const std::optional<double> v = NumberText::ParseFloatTolerant(text);
  if (!v) return std::nullopt;
  const float f = static_cast<float>(*v);
  std::uint16_t w = 0;
  const bool fits = kind == Kind::Temperature ? ArgoCodec::EncodeT(f, w)
                    : kind == Kind::Gain      ? ArgoCodec::EncodeQ(f, w)
                                              : ArgoCodec::EncodeC(f, w);
  if (!std::isfinite(f) || !fits) return std::nullopt;
  return f;
}

}  // namespace

RatioCalibrationModel::RatioCalibrationModel(QObject* parent) : QAbstractTableModel(parent) {
  values_.fill(QStringLiteral("0"));
}

QString RatioCalibrationModel::Key(int row) {
  if (row < 0 || row >= RowCount) return QString();
  return QString::fromLatin1(kRows[static_cast<std::size_t>(row)].key);
}

int RatioCalibrationModel::RowOfKey(const QString& key) {
  for (int row = 0; row < RowCount; ++row)
    if (Key(row) == key) return row;
  return -1;
}

const std::array<int, RatioCalibrationModel::RowCount>& RatioCalibrationModel::WriteOrder() {
  static constexpr std::array<int, RowCount> kOrder = {MbStart,    MbEnd,        LwlDiameter, LwlLength,
                                                       ItemNumber, SerialNumber, AddTop,      MulTop,
                                                       AddQuot,    MulQuot,      Deflection1, Deflection2};
  return kOrder;
}

QString RatioCalibrationModel::Value(int row) const {
  if (row < 0 || row >= RowCount) return QString();
  return values_[static_cast<std::size_t>(row)];
}

void RatioCalibrationModel::SetValue(int row, const QString& text) {
  if (row < 0 || row >= RowCount || values_[static_cast<std::size_t>(row)] == text) return;
  values_[static_cast<std::size_t>(row)] = text;
  const QModelIndex cell = index(row, ValueColumn);
  Q_EMIT dataChanged(cell, cell);
}

QString RatioCalibrationModel::FormatValue(int row, double value) {
  switch (KindOf(row)) {
    case Kind::Temperature:
      return NumberText::FormatFixed(value, 1);
    case Kind::Gain:
      return NumberText::FormatFixed(value, 4);
    case Kind::Deflection:
      return NumberText::FormatFixed(value, 3);
    case Kind::Unsigned16:
    case Kind::Signed16:
    case Kind::Unsigned32:
      break;
  }
  return QString::number(NumberText::Round(value));
}

void RatioCalibrationModel::Fill(const TArgoConfig& c) {
  const std::array<double, RowCount> v = {
      double(c.LWLDiameter), double(c.LWLLength),         double(c.MBRangeStart), double(c.MBRangeEnd),
      double(c.ItemNumber),  double(c.RatioSerialNumber), double(c.AddTop),       double(c.MulTop),
      double(c.AddQuot),     double(c.MulQuot),           double(c.Deflection1),  double(c.Deflection2)};
  for (int row = 0; row < RowCount; ++row) SetValue(row, FormatValue(row, v[static_cast<std::size_t>(row)]));
}

int RatioCalibrationModel::OffsetRow(Channel channel) {
  return channel == Channel::OneColour ? AddTop : AddQuot;
}
int RatioCalibrationModel::GainRow(Channel channel) {
  return channel == Channel::OneColour ? MulTop : MulQuot;
}

void RatioCalibrationModel::ResetChannel(Channel channel, const TArgoConfig& c) {
  const bool one = channel == Channel::OneColour;
  SetValue(OffsetRow(channel), FormatValue(OffsetRow(channel), one ? c.AddTop : c.AddQuot));
  SetValue(GainRow(channel), FormatValue(GainRow(channel), one ? c.MulTop : c.MulQuot));
}

void RatioCalibrationModel::SetLocked(bool locked) {
  if (locked_ == locked) return;
  locked_ = locked;
  Q_EMIT dataChanged(index(0, KeyColumn), index(RowCount - 1, ValueColumn));
}

RatioCalibrationModel::TParsed RatioCalibrationModel::Parse() const {
  TParsed out;
  TValues v;
  for (int row : WriteOrder()) {
    const QString& text = values_[static_cast<std::size_t>(row)];
    bool ok = true;
    switch (row) {
      case LwlDiameter:
      case LwlLength: {
        const auto n = RoundedInRange(text, 0, 0xFFFF);
        ok = n.has_value();
        if (ok) (row == LwlDiameter ? v.LwlDiameter : v.LwlLength) = static_cast<std::uint16_t>(*n);
        break;
      }
      case AddTop:
      case AddQuot: {
        const auto n = RoundedInRange(text, -32768, 32767);
        ok = n.has_value();
        if (ok) (row == AddTop ? v.AddTop : v.AddQuot) = static_cast<std::int16_t>(*n);
        break;
      }
      case ItemNumber:
      case SerialNumber: {
        const auto n = Unsigned32(text);
        ok = n.has_value();
        if (ok) (row == ItemNumber ? v.ItemNumber : v.SerialNumber) = *n;
        break;
      }
      default: {
        const auto f = WordValue(text, KindOf(row));
        ok = f.has_value();
        if (!ok) break;
        float* const targets[RowCount] = {nullptr, nullptr,    &v.MbStart,     &v.MbEnd,
                                          nullptr, nullptr,    nullptr,        &v.MulTop,
                                          nullptr, &v.MulQuot, &v.Deflection1, &v.Deflection2};
        *targets[row] = *f;
        // The device takes a measuring range 0 <= start < end <= 3000 °C only.
        if (row == MbStart) ok = *f >= 0.0f;
        if (row == MbEnd) ok = *f > v.MbStart && *f <= 3000.0f;
        break;
      }
    }
    if (!ok) {
      out.badRow = row;
      return out;
    }
  }
  out.values = v;
  return out;
}

int RatioCalibrationModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : RowCount;
}

int RatioCalibrationModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

QVariant RatioCalibrationModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return QVariant();
  return index.column() == KeyColumn ? Key(index.row()) : Value(index.row());
}

bool RatioCalibrationModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole || index.column() != ValueColumn || locked_) return false;
  SetValue(index.row(), value.toString());
  return true;
}

Qt::ItemFlags RatioCalibrationModel::flags(const QModelIndex& index) const {
  if (!index.isValid() || locked_) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() == ValueColumn) f |= Qt::ItemIsEditable;
  return f;
}

QVariant RatioCalibrationModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
  if (section == KeyColumn) return QStringLiteral("Name");
  if (section == ValueColumn) return QStringLiteral("Value");
  return QVariant();
}
