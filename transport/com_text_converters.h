#pragma once

#include <QString>

#include "transport/com_types.h"

// Text forms of the port settings as stored by the settings store and load.

// "Yes" / "No"; reading is true exactly for "YES" in any case.
QString BoolToText(bool value);
bool TextToBool(const QString& text);

// A character below 33 or above 127 as "#" + its decimal code, any other as
// itself. Reading: empty gives 0; "#" followed by more text gives the code
// after "#" (EConvertError when that is no decimal number in 0..255);
// otherwise the first character.
QString CharToText(char value);
char TextToChar(const QString& text);

// Enumerations as words; reading compares without regard to case, takes the
// first matching word, and gives the stated fallback when none matches.
QString BaudRateToText(TBaudRate value);
TBaudRate TextToBaudRate(const QString& text);  // fallback br9600
QString StopBitsToText(TStopBits value);
TStopBits TextToStopBits(const QString& text);  // fallback sbOneStopBit
QString DataBitsToText(TDataBits value);
TDataBits TextToDataBits(const QString& text);  // fallback dbEight
QString ParityToText(TParityBits value);
TParityBits TextToParity(const QString& text);  // fallback prNone
QString FlowControlToText(TFlowControl value);
TFlowControl TextToFlowControl(const QString& text);  // fallback fcCustom
QString DTRToText(TDTRFlowControl value);
TDTRFlowControl TextToDTR(const QString& text);  // fallback dtrDisable
QString RTSToText(TRTSFlowControl value);
TRTSFlowControl TextToRTS(const QString& text);  // fallback rtsDisable
