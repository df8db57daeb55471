#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// What a setup dialog's controls hold, by control name, without the
// controls: the form the image codecs decode into and encode from, the
// configuration files store and the binder moves to and from the widgets.
// Names compare without regard to case, as the configuration files look
// them up; the first spelling set is kept.

enum class SetupValueKind {
  Mark,       // check box: ticked or not
  ListIndex,  // combo box or radio group: the item index, -1 for no selection
  Spin,       // spin edit: its number
  Text,       // single-line edit: its text, exactly
};

struct SetupValue {
  SetupValueKind Kind = SetupValueKind::Text;
  bool Mark = false;
  int Index = -1;
  double Spin = 0.0;
  QString Text;

  static SetupValue OfMark(bool mark);
  static SetupValue OfIndex(int index);
  static SetupValue OfSpin(double value);
  static SetupValue OfText(const QString& text);

  friend bool operator==(const SetupValue&, const SetupValue&) = default;
};

class SetupValues {
 public:
  // Sets `name`'s value; a new name goes to the end of the order.
  void Set(const QString& name, const SetupValue& value);
  void SetMark(const QString& name, bool mark) { Set(name, SetupValue::OfMark(mark)); }
  void SetIndex(const QString& name, int index) { Set(name, SetupValue::OfIndex(index)); }
  void SetSpin(const QString& name, double value) { Set(name, SetupValue::OfSpin(value)); }
  void SetText(const QString& name, const QString& text) { Set(name, SetupValue::OfText(text)); }

  bool Has(const QString& name) const { return Find(name) != nullptr; }
  // The value, or nothing when `name` holds none.
  std::optional<SetupValue> Get(const QString& name) const;
  // Typed reads with the caller's fallback when the name holds nothing.
  bool Mark(const QString& name, bool fallback = false) const;
  int Index(const QString& name, int fallback = -1) const;
  double Spin(const QString& name, double fallback = 0.0) const;
  QString Text(const QString& name, const QString& fallback = {}) const;

  void Remove(const QString& name);
  // The names in the order they were first set.
  QStringList Names() const;
  int Count() const { return static_cast<int>(entries_.size()); }
  bool IsEmpty() const { return entries_.empty(); }

  friend bool operator==(const SetupValues&, const SetupValues&) = default;

 private:
  struct Entry {
    QString Name;
    SetupValue Value;
    friend bool operator==(const Entry&, const Entry&) = default;
  };
  const Entry* Find(const QString& name) const;
  Entry* Find(const QString& name);

  std::vector<Entry> entries_;
};
