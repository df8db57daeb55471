#include "transport/com_text_converters.h"

#include <QStringList>

#include "transport/com_port_error.h"

namespace {

const QStringList kBaudWords = {
    QStringLiteral("Custom"), QStringLiteral("110"),    QStringLiteral("300"),    QStringLiteral("600"),
    QStringLiteral("1200"),   QStringLiteral("2400"),   QStringLiteral("4800"),   QStringLiteral("9600"),
    QStringLiteral("14400"),  QStringLiteral("19200"),  QStringLiteral("38400"),  QStringLiteral("56000"),
    QStringLiteral("57600"),  QStringLiteral("115200"), QStringLiteral("128000"), QStringLiteral("256000")};
const QStringList kStopWords = {QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
const QStringList kDataWords = {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"),
                                QStringLiteral("8")};
const QStringList kParityWords = {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"),
                                  QStringLiteral("Mark"), QStringLiteral("Space")};
const QStringList kFlowWords = {QStringLiteral("Hardware"), QStringLiteral("Software"),
                                QStringLiteral("None"), QStringLiteral("Custom")};
const QStringList kDtrWords = {QStringLiteral("Disable"), QStringLiteral("Enable"),
                               QStringLiteral("Handshake")};
const QStringList kRtsWords = {QStringLiteral("Disable"), QStringLiteral("Enable"),
                               QStringLiteral("Handshake"), QStringLiteral("Toggle")};

QString Word(const QStringList& words, int index) {
  return (index >= 0 && index < words.size()) ? words.at(index) : QString();
}

// Index of the first word equal to `text` after upper-casing both, or `fallback`.
int Find(const QStringList& words, const QString& text, int fallback) {
  const QString upper = text.toUpper();
  for (int i = 0; i < words.size(); ++i) {
    if (words.at(i).toUpper() == upper) return i;
  }
  return fallback;
}

}  // namespace

QString BoolToText(bool value) { return value ? QStringLiteral("Yes") : QStringLiteral("No"); }

bool TextToBool(const QString& text) { return text.toUpper() == QStringLiteral("YES"); }

QString CharToText(char value) {
  const int code = static_cast<unsigned char>(value);
  if (code < 33 || code > 127) return QStringLiteral("#") + QString::number(code);
  return QString(QChar(code));
}

char TextToChar(const QString& text) {
  if (text.isEmpty()) return 0;
  if (text.size() > 1 && text.at(0) == QLatin1Char('#')) {
    const QString digits = text.mid(1);
    bool ok = false;
    const int code = digits.toInt(&ok, 10);
    // Only plain decimal digits in 0..255 are a character code.
    bool plain = !digits.isEmpty();
    for (QChar c : digits) plain = plain && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (!ok || !plain || code < 0 || code > 255) {
      throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(digits));
    }
    return static_cast<char>(static_cast<unsigned char>(code));
  }
  const ushort u = text.at(0).unicode();
  return static_cast<char>(static_cast<unsigned char>(u <= 0xFF ? u : '?'));
}

QString BaudRateToText(TBaudRate value) { return Word(kBaudWords, value); }
TBaudRate TextToBaudRate(const QString& text) {
  return static_cast<TBaudRate>(Find(kBaudWords, text, br9600));
}
QString StopBitsToText(TStopBits value) { return Word(kStopWords, value); }
TStopBits TextToStopBits(const QString& text) {
  return static_cast<TStopBits>(Find(kStopWords, text, sbOneStopBit));
}
QString DataBitsToText(TDataBits value) { return Word(kDataWords, value); }
TDataBits TextToDataBits(const QString& text) {
  return static_cast<TDataBits>(Find(kDataWords, text, dbEight));
}
QString ParityToText(TParityBits value) { return Word(kParityWords, value); }
TParityBits TextToParity(const QString& text) {
  return static_cast<TParityBits>(Find(kParityWords, text, prNone));
}
QString FlowControlToText(TFlowControl value) { return Word(kFlowWords, value); }
TFlowControl TextToFlowControl(const QString& text) {
  return static_cast<TFlowControl>(Find(kFlowWords, text, fcCustom));
}
QString DTRToText(TDTRFlowControl value) { return Word(kDtrWords, value); }
TDTRFlowControl TextToDTR(const QString& text) {
  return static_cast<TDTRFlowControl>(Find(kDtrWords, text, dtrDisable));
}
QString RTSToText(TRTSFlowControl value) { return Word(kRtsWords, value); }
TRTSFlowControl TextToRTS(const QString& text) {
  return static_cast<TRTSFlowControl>(Find(kRtsWords, text, rtsDisable));
}
