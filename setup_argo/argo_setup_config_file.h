#pragma once

#include <QString>

#include "drivers/argo/argo_types.h"

class TpyreonArgo;

// The single-colour configuration file as the setup dialog saves and loads
// it. Both run on the driver (on the device's session); neither touches the
// line. Every failure comes back with a message for the user.
class ArgoSetupConfigFile {
 public:
  // "Argo_" + serial number + ".cfg", proposed by the save dialog.
  static QString DefaultFileName(std::int32_t serialNumber);
  // The file dialogs' filter, its second entry selected; the open dialog
  // proposes "Argo_*.cfg".
  static QString Filter();
  static QString LoadPattern() { return QStringLiteral("Argo_*.cfg"); }
  // The ratio model's files: "ARQ_" + serial number + ".cfg", the filter's
  // second entry "ARQ_*.cfg".
  static QString RatioDefaultFileName(std::int32_t serialNumber);
  static QString RatioFilter();
  static QString RatioLoadPattern() { return QStringLiteral("ARQ_*.cfg"); }

  struct TSaveResult {
    bool ok = false;
    QString message;  // "Saving the configuration failed: <file>" on failure
  };
  // Saves `config` (the driver's cache, which holds every written change).
  static TSaveResult Save(TpyreonArgo& driver, const TArgoConfig& config, const QString& fileName);

  enum TLoadStatus { Loaded, FileNotFound, VersionMismatch, ConversionError };
  struct TLoadResult {
    TLoadStatus status = ConversionError;
    QString message;     // the user's message unless loaded
    TArgoConfig config;  // `base` overlaid with the file; `base` itself unless loaded
    int address = 0;     // the file's bus address (for the address edit, written by OK)
  };
  // Loads `fileName` into a copy of `base` (the driver's cache). A file that
  // is missing, of another version, or has a value that does not convert or
  // does not fit its field loads nothing.
  static TLoadResult Load(TpyreonArgo& driver, const TArgoConfig& base, const QString& fileName);
};
