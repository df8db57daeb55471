#include "setup_brio/brio_first_gen_config_file.h"

#include "setup_brio/brio_first_gen_codec.h"

namespace {

using Kind = SetupValueKind;

constexpr BrioFirstGenConfigFile::ControlName kControls[] = {
    {"eTrans", Kind::Text},
    {"eAvg", Kind::Text},
    {"cbSmartAvg", Kind::Mark},
    {"cbEmissSrc", Kind::ListIndex},
    {"eEmiss", Kind::Text},
    {"cbAmbSrc", Kind::ListIndex},
    {"eFixAmb", Kind::Text},
    {"cbAlarmSource", Kind::ListIndex},
    {"cbAlarmMode", Kind::ListIndex},
    {"eAlarm2", Kind::Text},
    {"eAlarmMVmin", Kind::Text},
    {"eAlarmMVmax", Kind::Text},
    {"eFsTmin", Kind::Text},
    {"eFsTmax", Kind::Text},
    {"eFsmVmin", Kind::Text},
    {"eFsmVmax", Kind::Text},
    {"cbFsAmb", Kind::ListIndex},
    {"cbFsTarget", Kind::ListIndex},
    {"cbBurst1", Kind::ListIndex},
    {"cbBurst2", Kind::ListIndex},
    {"cbBurst3", Kind::ListIndex},
    {"cbBurst4", Kind::ListIndex},
    {"cbBurst5", Kind::ListIndex},
    {"eTmin5", Kind::Text},
    {"eTmax5", Kind::Text},
    {"eMVmin5", Kind::Text},
    {"eMVmax5", Kind::Text},
    {"eTmin", Kind::Text},
    {"eTmax", Kind::Text},
    {"eMVmin", Kind::Text},
    {"eMVmax", Kind::Text},
    {"cbFailsafe", Kind::Mark},
    {"cbOutMode", Kind::ListIndex},
    {"eEmiss1", Kind::Text},
    {"eLo1", Kind::Text},
    {"eHi1", Kind::Text},
    {"cbOut1", Kind::ListIndex},
    {"eEmiss2", Kind::Text},
    {"eLo2", Kind::Text},
    {"eHi2", Kind::Text},
    {"cbOut2", Kind::ListIndex},
    {"eEmiss3", Kind::Text},
    {"eLo3", Kind::Text},
    {"eHi3", Kind::Text},
    {"cbOut3", Kind::ListIndex},
    {"eEmiss4", Kind::Text},
    {"eLo4", Kind::Text},
    {"eHi4", Kind::Text},
    {"cbOut4", Kind::ListIndex},
    {"eEmiss5", Kind::Text},
    {"eLo5", Kind::Text},
    {"eHi5", Kind::Text},
    {"cbOut5", Kind::ListIndex},
    {"eEmiss6", Kind::Text},
    {"eLo6", Kind::Text},
    {"eHi6", Kind::Text},
    {"cbOut6", Kind::ListIndex},
    {"eEmiss7", Kind::Text},
    {"eLo7", Kind::Text},
    {"eHi7", Kind::Text},
    {"cbOut7", Kind::ListIndex},
    {"eEmiss8", Kind::Text},
    {"eLo8", Kind::Text},
    {"eHi8", Kind::Text},
    {"cbOut8", Kind::ListIndex},
    {"cbLEDsource", Kind::ListIndex},
    {"cbLEDmode", Kind::ListIndex},
    {"eAlarm1", Kind::Text},
    {"cbAlarm", Kind::Mark},
    {"cbHoldMode", Kind::ListIndex},
    {"eHTime", Kind::Text},
    {"eHSchwelle", Kind::Text},
    {"eHHysterese", Kind::Text},
    {"eGain", Kind::Text},
    {"eOffs", Kind::Text},
};

}  // namespace

std::span<const BrioFirstGenConfigFile::ControlName> BrioFirstGenConfigFile::Controls() { return kControls; }

BrioControlRegistry BrioFirstGenConfigFile::ValueRegistry(SetupValues& values) {
  BrioControlRegistry registry;
  for (const ControlName& c : kControls) registry.AddValue(values, QString::fromLatin1(c.Name), c.Kind);
  return registry;
}

BrioConfigFileProfile BrioFirstGenConfigFile::Profile(std::function<void()> postLoad) {
  BrioConfigFileProfile p;
  p.ModelLine = QStringLiteral("_Device_Model=Brio");
  p.AcceptedModelLines = {p.ModelLine};
  p.KindsRead = {SetupValueKind::Mark, SetupValueKind::ListIndex, SetupValueKind::Text};
  p.PostLoad = std::move(postLoad);
  return p;
}

QString BrioFirstGenConfigFile::DefaultFileName(const BrioCalibrationImage& calibration) {
  return QStringLiteral("Brio_") + QString::number(BrioFirstGenCalibration::From(calibration).Serial) +
         QStringLiteral(".cfg");
}

QStringList BrioFirstGenConfigFile::NameFilters() {
  return {QStringLiteral("All (*.*)"), SelectedNameFilter()};
}

QString BrioFirstGenConfigFile::SelectedNameFilter() {
  return QStringLiteral("Brio Configuration (Brio_*.cfg)");
}
