#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "setup_brio/brio_control_registry.h"
#include "setup_common/setup_values.h"

class TLngINISupp;

// What differs between the Brio dialogs that use the configuration file.
struct BrioConfigFileProfile {
  QString ModelLine;                      // written as line 3, e.g. "_Device_Model=Brio"
  QStringList AcceptedModelLines;         // line 3 must equal one of these, exactly
  std::vector<SetupValueKind> KindsRead;  // control kinds the reader applies
  QStringList KeysAppliedLast;            // applied after the last line, not in file order
  // Run by Load after a body was read completely (the dialog's field-exit
  // routine and change timer).
  std::function<void()> PostLoad;

  bool Reads(SetupValueKind kind) const;
};

// One value the reader found for a control, in the order to apply them.
struct BrioConfigFileEntry {
  QString Name;  // the control's own spelling (from the registry)
  SetupValue Value;
  friend bool operator==(const BrioConfigFileEntry&, const BrioConfigFileEntry&) = default;
};

// The device configuration file V2 of the Brio setup dialogs: a text file
// (Windows-1252, CR LF) of the controls' values by name:
//   ThermaSentinel-CONFIGURATION-FILE V2
//   ------------------------------------
//   <model line>
//   _Tmin=<lower range limit, 2 decimals>°C
//   _Tmax=<upper range limit>°C
//   [BEGIN]
//   <name>=<value>     one per control in registry order, empty values left out
//   [END]
class BrioConfigFile {
 public:
  enum class Status {
    Loaded,     // the body was read (entries, range and PostLoad apply)
    NoBody,     // no "[BEGIN]": nothing changes, no message
    NotValid,   // wrong magic or model line: "CONFIGURATION FILE NOT VALID !"
    ReadError,  // the file could not be read: "ERROR WHILE READING CONFIGURATION FILE !"
  };

  struct Content {
    Status status = Status::ReadError;
    // Header range limits that parsed (only when the body was found).
    std::optional<float> RangeLow;
    std::optional<float> RangeHigh;
    // The values to apply, in order (ReadError: those read before the error).
    std::vector<BrioConfigFileEntry> Entries;
  };

  // The file's bytes for the registry's current values.
  static QByteArray Compose(const BrioConfigFileProfile& profile, const BrioControlRegistry& registry,
                            float rangeLow, float rangeHigh);
  // The value text of one control as the file holds it ("" leaves it out).
  static QString ValueText(const SetupValue& value);

  // Parses a file's bytes against the registry's names and kinds.
  static Content Parse(const QByteArray& bytes, const BrioConfigFileProfile& profile,
                       const BrioControlRegistry& registry);
  static Content Read(const QString& fileName, const BrioConfigFileProfile& profile,
                      const BrioControlRegistry& registry);

  struct SaveResult {
    bool ok = false;
    QString error;  // why it failed (for the log and the message)
  };
  // Writes Compose() through a temporary file renamed over `fileName`; a
  // failure leaves any earlier file as it was.
  static SaveResult Save(const QString& fileName, const BrioConfigFileProfile& profile,
                         const BrioControlRegistry& registry, float rangeLow, float rangeHigh);

  struct LoadResult {
    Status status = Status::ReadError;
    std::optional<float> RangeLow;
    std::optional<float> RangeHigh;
  };
  // Reads `fileName` and applies its entries to the registry in order
  // (a check box's click action runs on a real mark change); with a whole
  // body also runs the profile's PostLoad. The caller takes the range limits
  // and shows StatusMessage() for NotValid and ReadError.
  static LoadResult Load(const QString& fileName, const BrioConfigFileProfile& profile,
                         const BrioControlRegistry& registry);

  // The user's message for a status (empty for Loaded and NoBody), from the
  // language file's section "Messages" when `language` is given.
  static QString StatusMessage(Status status, const TLngINISupp* language);
  // The message when a file could not be written.
  static QString SaveFailedMessage(const TLngINISupp* language);

  static constexpr int kMaxValueLength = 255;
};
