#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

// Everything a single-colour (or ratio) device keeps, in the raw encodings
// it sends and receives. Words are what travels on the line.
struct ArgoDeviceState {
  // Identification.
  std::uint16_t firmware = 0;            // 0x0F
  std::uint32_t serial = 0;              // 0x0E, 24 bits
  std::uint8_t modelCode = 0;            // 0x45 byte 0
  std::uint8_t modelFlags = 0;           // 0x45 byte 1 (ArgoWire::ModelFlag)
  std::uint16_t rangeLow = 0;            // 0x45 bytes 2-3, temperature word
  std::uint16_t rangeHigh = 0;           // 0x45 bytes 4-5, temperature word
  std::array<std::uint8_t, 18> ident{};  // answer to '*'
  std::uint8_t busAddress = 0;           // 0x10 / 0x90, 0..79

  // Live values (temperature words).
  std::uint16_t objectTemp = 0;        // 0x01
  std::uint16_t internalTemp = 0;      // 0x02
  std::uint16_t boxTemp = 0;           // 0x03
  std::uint16_t actualTemp = 0;        // 0x81
  std::uint16_t singleColourTemp = 0;  // 0x62 (ratio)
  std::uint16_t quotientTemp = 0;      // 0x63 (ratio)
  std::uint16_t tau = 0;               // 0x64 (ratio)

  // Parameters.
  std::uint16_t emissivity = 0;                            // 0x04 / 0x84, thousandths
  std::uint16_t transmission = 0;                          // 0x05 / 0x85
  std::uint16_t averageTime = 0;                           // 0x06 / 0x86, time word
  std::uint16_t valleyHoldTime = 0;                        // 0x07 / 0x87
  std::uint16_t peakHoldTime = 0;                          // 0x08 / 0x88
  std::uint8_t unit = 1;                                   // 0x09 / 0x89: 0 = °F, 1 = °C
  std::array<std::uint16_t, 4> alarm{};                    // 0x0A..0x0D / 0x8A..0x8D, temperature words
  std::uint16_t scaledOutMin = 0;                          // 0x11 / 0x91
  std::uint16_t scaledOutMax = 0;                          // 0x12 / 0x92
  std::uint8_t ambientSource = 1;                          // 0x13 / 0x93
  std::uint16_t ambientValue = 0;                          // 0x14 / 0x94
  std::uint8_t emissivitySource = 1;                       // 0x15 / 0x95
  std::uint8_t irFailsafe = 0;                             // 0x16 / 0x96
  std::uint8_t ambientFailsafe = 0;                        // 0x17 / 0x97
  std::uint16_t outputTempMin = 0;                         // 0x18 / 0x98
  std::uint16_t outputTempMax = 0;                         // 0x19 / 0x99
  std::uint8_t irDacPercent = 0;                           // 0x1A / 0x9A
  std::uint8_t ambientDacPercent = 0;                      // 0x1B / 0x9B
  bool loopOutputFixed = false;                            // set by 0x9A, ended by 0x8F
  std::uint8_t averageMode = 0;                            // 0x1C / 0x9C
  std::uint8_t advancedHoldMode = 0;                       // 0x1D / 0x9D
  std::uint16_t advancedHoldThreshold = 0;                 // 0x1E / 0x9E
  std::uint16_t emissivityCalcT1 = 0;                      // 0x9F
  std::uint16_t emissivityCalcT2 = 0;                      // 0xA0
  int emissivityCalcRuns = 0;                              // 0xA1 0x01
  std::uint16_t advancedHoldHysteresis = 0;                // 0x22 / 0xA2, tenths
  std::array<std::array<std::uint16_t, 4>, 8> material{};  // 0x23 / 0xA3, [row][field]
  std::array<std::uint32_t, 5> headCode{};                 // 0x24 / 0xA4, 24-bit group values
  std::uint8_t spotIllumination = 0;                       // 0x25 / 0xA5
  std::uint16_t tweakOffset = 0;                           // 0x26 / 0xA6, temperature word
  std::uint16_t tweakGain = 0;                             // 0x27 / 0xA7, 1/32768
  std::array<std::uint8_t, 4> alarmMode{};                 // 0x28 / 0xA8, packed bytes
  std::uint16_t f3Temp1 = 0;                               // 0x2B / 0xAB
  std::uint16_t f3Temp2 = 0;                               // 0x2C / 0xAC
  std::uint8_t panelLock = 0;                              // 0x43 / 0x44
  std::uint8_t alarmHysteresis = 0;                        // 0x4A (single-colour), tenths
  std::array<std::uint8_t, 4> burstSlots{};                // 0x50 / 0x51, packed nibbles
  int loopResets = 0;                                      // 0x8F

  // Ratio model.
  std::uint16_t ratioAlarmHysteresis = 0;                     // 0x0C / 0x8C on ratio firmware, tenths
  std::uint8_t ratioAlarmMode = 0;                            // 0x0D / 0x8D on ratio firmware
  std::uint16_t deflection1 = 0;                              // 0x4A, hundredths
  std::uint16_t deflection2 = 0;                              // 0x4B
  std::uint16_t addTop = 0;                                   // 0x4C
  std::uint16_t mulTop = 0;                                   // 0x4D, 1/4096
  std::uint16_t addQuot = 0;                                  // 0x4E
  std::uint16_t mulQuot = 0;                                  // 0x4F, 1/4096
  std::uint16_t fibreDiameter = 0;                            // 0x56 word 1
  std::uint16_t fibreLength = 0;                              // 0x56 word 2
  std::uint16_t rangeStart = 0;                               // 0x57 word 1, temperature word
  std::uint16_t rangeEnd = 0;                                 // 0x57 word 2
  std::uint16_t slope = 0;                                    // 0x58, thousandths
  std::uint16_t slope2 = 0;                                   // 0x59
  std::uint16_t epsilon = 0;                                  // 0x5A
  std::uint16_t epsilon2 = 0;                                 // 0x5B
  std::uint16_t detTop = 0;                                   // 0x5C
  std::uint16_t limTau = 0;                                   // 0x5D, temperature word
  std::uint32_t itemNumber = 0;                               // 0x5E
  std::uint32_t ratioSerial = 0;                              // 0x5F
  std::array<std::uint8_t, 2> dalFunction{};                  // 0x68, per output
  std::array<std::uint8_t, 5> alarmSource{};                  // 0x69, per output
  std::array<std::array<std::uint16_t, 6>, 5> alarmValue{};   // 0x6A, [output][source]
  std::array<std::uint8_t, 5> normallyOpen{};                 // 0x6B, per output
  std::uint8_t processSource = 0;                             // 0x6C
  std::uint16_t smartThreshold = 0;                           // 0x6D, tenths
  std::array<std::array<std::uint8_t, 20>, 8> visualAlarm{};  // 0x6E / 0x6F
  std::uint8_t visualAlarmSource = 0;                         // 0x72
  std::uint8_t displayMainSource = 0;                         // 0x73
  int ratioCommands = 0;                                      // 0x65 commands carried out

  // The surface in view: with a temperature word here the object
  // temperature follows the emissivity set (EmissivityScene) against the
  // internal temperature; 0 leaves the object temperature as set.
  std::uint16_t sceneTemp = 0;
  std::uint16_t sceneEmissivity = 1000;  // thousandths

  bool operator==(const ArgoDeviceState&) const = default;
};

// A named device: firmware revision, model information and the state it
// powers up with.
struct ArgoProfile {
  QString name;
  QString description;
  ArgoDeviceState state;
  int baudRate = 115200;
};

namespace ArgoProfiles {

// Names of the profiles, in the order they are listed:
//  "argo-old"     firmware 1010: no model information, no panel lock
//  "argo-1500"    firmware 1500: panel lock, model information, alarm hysteresis, laser
//  "argo-2000"    firmware 2000: large head code, no model information
//  "argo-current" firmware 2510: large head code, millisecond times, model information
//  "argo-5000"    firmware 5000: single-colour, times in hundredths
//  "argo-5003"    firmware 5003: ratio, times in hundredths, no extended alarms
//  "ratio-5012"   firmware 5012: ratio, the last without extended alarms
//  "ratio-5013"   firmware 5013: ratio with extended alarms, no AddTop/MulTop
//  "ratio-5014"   firmware 5014: ratio with AddTop/MulTop/AddQuot/MulQuot, no deflections
//  "ratio-5015"   firmware 5015: ratio, the last without deflections
//  "ratio"        firmware 5016: ratio with every command (the current ratio model)
QStringList Names();
std::optional<ArgoProfile> Find(const QString& name);
// The default profile ("argo-current").
ArgoProfile Default();
// The state a device of `firmware` with these model bytes powers up with.
ArgoDeviceState MakeState(std::uint16_t firmware, std::uint8_t modelCode, std::uint8_t modelFlags,
                          double rangeLow, double rangeHigh, std::uint32_t serial, const QString& ident);

}  // namespace ArgoProfiles
