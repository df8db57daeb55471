#include "setup_argo/material_table_rules.h"

#include "drivers/sentinel_utils.h"

const std::vector<std::uint8_t>& MaterialTableRules::ItemCodes(bool singleOutput) {
  static const std::vector<std::uint8_t> all = {kVisualAlarm1, kVisualAlarm2, kOutputChannel2,
                                                kOutputChannel1, kNone};
  static const std::vector<std::uint8_t> single = {kVisualAlarm1, kVisualAlarm2, kOutputChannel1, kNone};
  return singleOutput ? single : all;
}

int MaterialTableRules::ItemForCode(std::uint8_t code, bool singleOutput) {
  const auto& codes = ItemCodes(singleOutput);
  for (std::size_t i = 0; i < codes.size(); ++i)
    if (codes[i] == code) return static_cast<int>(i);
  return -1;
}

int MaterialTableRules::CodeForItem(int item, bool singleOutput) {
  const auto& codes = ItemCodes(singleOutput);
  if (item < 0 || item >= static_cast<int>(codes.size())) return -1;
  return codes[static_cast<std::size_t>(item)];
}

MaterialTableRules::TLimits MaterialTableRules::AlarmLimits(float rangeLowC, float rangeHighC,
                                                            bool fahrenheit) {
  return {SentinelUtils::CelsiusToUnit(fahrenheit, rangeLowC),
          SentinelUtils::CelsiusToUnit(fahrenheit, rangeHighC)};
}

namespace {

template <typename Change>
void ForRows(TArgoMaterialTable& table, int row, bool all, Change change) {
  for (int r = 0; r < static_cast<int>(table.size()); ++r)
    if (all || r == row) change(table[static_cast<std::size_t>(r)]);
}

}  // namespace

void MaterialTableRules::SetEmissivity(TArgoMaterialTable& table, int row, float value, bool all) {
  ForRows(table, row, all, [value](TArgoMaterialRow& r) { r.Emiss = value; });
}

void MaterialTableRules::SetAlarm(TArgoMaterialTable& table, bool alarmB, int row, float celsius, bool all) {
  ForRows(table, row, all,
          [alarmB, celsius](TArgoMaterialRow& r) { (alarmB ? r.HiAlarm : r.LoAlarm) = celsius; });
}

void MaterialTableRules::SetOutput(TArgoMaterialTable& table, bool alarmB, int row, std::uint8_t code,
                                   bool all) {
  ForRows(table, row, all, [alarmB, code](TArgoMaterialRow& r) {
    std::uint8_t& mine = alarmB ? r.DevHi : r.DevLo;
    std::uint8_t& other = alarmB ? r.DevLo : r.DevHi;
    mine = code;
    if (other == mine) other = kNone;
  });
}
