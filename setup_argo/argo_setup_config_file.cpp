#include "setup_argo/argo_setup_config_file.h"

#include <QFileInfo>

#include "drivers/argo/pyreon_argo.h"

QString ArgoSetupConfigFile::DefaultFileName(std::int32_t serialNumber) {
  return QStringLiteral("Argo_") + QString::number(serialNumber) + QStringLiteral(".cfg");
}

QString ArgoSetupConfigFile::Filter() {
  return QStringLiteral("All (*)") + QStringLiteral(";;") + QStringLiteral("Argo Configuration (Argo_*.cfg)");
}

QString ArgoSetupConfigFile::RatioDefaultFileName(std::int32_t serialNumber) {
  return QStringLiteral("ARQ_") + QString::number(serialNumber) + QStringLiteral(".cfg");
}

QString ArgoSetupConfigFile::RatioFilter() {
  return QStringLiteral("All (*)") + QStringLiteral(";;") + QStringLiteral("Argo Configuration (ARQ_*.cfg)");
}

ArgoSetupConfigFile::TSaveResult ArgoSetupConfigFile::Save(TpyreonArgo& driver, const TArgoConfig& config,
                                                           const QString& fileName) {
  TSaveResult r;
  r.ok = driver.SaveConfigFile(config, fileName) == 1;
  if (!r.ok) r.message = QStringLiteral("Saving the configuration failed: ") + fileName;
  return r;
}

ArgoSetupConfigFile::TLoadResult ArgoSetupConfigFile::Load(TpyreonArgo& driver, const TArgoConfig& base,
                                                           const QString& fileName) {
  TLoadResult r;
  r.config = base;
  r.address = base.RS485Addr;
  // The reader names a missing file and a foreign version itself; a value
  // that does not convert it only counts.
  QString readerMessage;
  const TargoMessageEvent kept = driver.OnMessage;
  driver.OnMessage = [&readerMessage](QObject*, const QString& text) { readerMessage = text; };
  TArgoConfig loaded = base;
  const int status = driver.LoadConfigFile(fileName, loaded);
  driver.OnMessage = kept;

  if (status == -1) {
    r.status = FileNotFound;
    r.message = readerMessage.isEmpty() ? QStringLiteral("File not found !") : readerMessage;
    return r;
  }
  if (status != 1) {
    r.status = readerMessage.isEmpty() ? ConversionError : VersionMismatch;
    r.message = readerMessage.isEmpty() ? QStringLiteral("conversion error") : readerMessage;
    return r;
  }
  // The device takes bus addresses 0..79 only; a file with another one
  // would leave the address edit showing what can never be written.
  if (loaded.RS485Addr > 79) {
    r.status = ConversionError;
    r.message = QStringLiteral("conversion error");
    return r;
  }
  r.status = Loaded;
  r.config = loaded;
  r.address = loaded.RS485Addr;
  return r;
}
