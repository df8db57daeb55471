#pragma once

#include <cstdint>

// The device type codes the program stores and shows (names by
// SentinelUtils::DeviceTypeName) and the families they belong to.
namespace DeviceType {
inline constexpr std::uint8_t None = 0;
inline constexpr std::uint8_t Argo = 1;
inline constexpr std::uint8_t ArgoRatio = 2;
inline constexpr std::uint8_t Voduz1 = 3;
inline constexpr std::uint8_t Dunav1 = 4;
inline constexpr std::uint8_t Brio2W = 5;
inline constexpr std::uint8_t Duna2Wv1 = 6;
inline constexpr std::uint8_t Fenn2W = 7;
inline constexpr std::uint8_t Briov2 = 8;
inline constexpr std::uint8_t Dunav2 = 9;
inline constexpr std::uint8_t Duna2Wv2 = 10;
inline constexpr std::uint8_t Duna2W2Mv2 = 11;

// Single-colour family (with its ratio model).
constexpr bool IsSingleColour(std::uint8_t code) { return code == Argo || code == ArgoRatio; }
// First-generation Brio family.
constexpr bool IsBrioFirstGeneration(std::uint8_t code) { return code == Voduz1 || code == Dunav1; }
// Second-generation Brio family.
constexpr bool IsBrioSecondGeneration(std::uint8_t code) { return code >= Brio2W && code <= Duna2W2Mv2; }
constexpr bool IsBrio(std::uint8_t code) {
  return IsBrioFirstGeneration(code) || IsBrioSecondGeneration(code);
}
constexpr bool IsKnown(std::uint8_t code) { return code >= Argo && code <= Duna2W2Mv2; }
// Whether the emissivity command is offered: never for the ratio model, and
// for the Fenn2W only from firmware version 10005 on (`firmware` is the
// version word of the second-generation calibration image).
constexpr bool OffersEmissivity(std::uint8_t code, int firmware) {
  if (code == ArgoRatio) return false;
  return code != Fenn2W || firmware > 10004;
}
}  // namespace DeviceType

// How a measurement takes its values.
namespace MeasureMode {
inline constexpr std::uint8_t None = 0;   // no measurement yet
inline constexpr std::uint8_t Burst = 1;  // the device streams records
inline constexpr std::uint8_t Poll = 2;   // the program asks at the recording interval
}  // namespace MeasureMode
