#include "tools/devsim/loopback_model.h"

std::unique_ptr<DeviceModel> LoopbackModel::Create(const QStringList& options, QString* error) {
  int baud = 9600;
  for (qsizetype i = 0; i < options.size(); ++i) {
    const QString& option = options.at(i);
    if (option == QStringLiteral("--baud")) {
      if (i + 1 >= options.size()) {
        if (error) *error = QStringLiteral("option --baud needs a value");
        return nullptr;
      }
      bool ok = false;
      baud = options.at(++i).toInt(&ok);
      if (!ok || baud <= 0) {
        if (error) *error = QStringLiteral("invalid baud rate: %1").arg(options.at(i));
        return nullptr;
      }
    } else {
      if (error) *error = QStringLiteral("unknown option for the loopback model: %1").arg(option);
      return nullptr;
    }
  }
  return std::make_unique<LoopbackModel>(baud);
}
