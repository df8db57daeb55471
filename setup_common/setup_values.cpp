#include "setup_common/setup_values.h"

#include <algorithm>

SetupValue SetupValue::OfMark(bool mark) {
  SetupValue v;
  v.Kind = SetupValueKind::Mark;
  v.Mark = mark;
  return v;
}

SetupValue SetupValue::OfIndex(int index) {
  SetupValue v;
  v.Kind = SetupValueKind::ListIndex;
  v.Index = index;
  return v;
}

SetupValue SetupValue::OfSpin(double value) {
  SetupValue v;
  v.Kind = SetupValueKind::Spin;
  v.Spin = value;
  return v;
}

SetupValue SetupValue::OfText(const QString& text) {
  SetupValue v;
  v.Kind = SetupValueKind::Text;
  v.Text = text;
  return v;
}

const SetupValues::Entry* SetupValues::Find(const QString& name) const {
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
    return e.Name.compare(name, Qt::CaseInsensitive) == 0;
  });
  return it == entries_.end() ? nullptr : &*it;
}

SetupValues::Entry* SetupValues::Find(const QString& name) {
  return const_cast<Entry*>(std::as_const(*this).Find(name));
}

void SetupValues::Set(const QString& name, const SetupValue& value) {
  if (Entry* e = Find(name)) {
    e->Value = value;
    return;
  }
  entries_.push_back({name, value});
}

std::optional<SetupValue> SetupValues::Get(const QString& name) const {
  if (const Entry* e = Find(name)) return e->Value;
  return std::nullopt;
}

bool SetupValues::Mark(const QString& name, bool fallback) const {
  const Entry* e = Find(name);
  return e ? e->Value.Mark : fallback;
}

int SetupValues::Index(const QString& name, int fallback) const {
  const Entry* e = Find(name);
  return e ? e->Value.Index : fallback;
}

double SetupValues::Spin(const QString& name, double fallback) const {
  const Entry* e = Find(name);
  return e ? e->Value.Spin : fallback;
}

QString SetupValues::Text(const QString& name, const QString& fallback) const {
  const Entry* e = Find(name);
  return e ? e->Value.Text : fallback;
}

void SetupValues::Remove(const QString& name) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const Entry& e) { return e.Name.compare(name, Qt::CaseInsensitive) == 0; }),
                 entries_.end());
}

QStringList SetupValues::Names() const {
  QStringList names;
  names.reserve(Count());
  for (const Entry& e : entries_) names.push_back(e.Name);
  return names;
}
