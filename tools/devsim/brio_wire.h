#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Byte-level facts of the Brio family as the device sees them: the memory
// map both generations share, the burst switches in the configuration
// segment, the identification bits of the second generation and the frames
// of the microcontroller's serial bootstrap loader. The emulators, their
// tests and the fuzz target use these and nothing else.
namespace BrioWire {

inline constexpr std::uint8_t kIdle = 0x00;  // filler the host sends to resynchronise

// --- Memory map --------------------------------------------------------------
inline constexpr std::uint16_t kRamStart = 0x0200;
inline constexpr std::uint16_t kRamEnd = 0x09FF;  // last RAM byte
inline constexpr std::uint16_t kInfoStart = 0x1000;
inline constexpr std::uint16_t kInfoEnd = 0x10FF;
inline constexpr std::uint16_t kMainStart = 0xC000;  // main flash up to 0xFFFF
inline constexpr int kMainSegmentSize = 512;
inline constexpr int kInfoSegmentSizeGen1 = 64;
inline constexpr int kInfoSegmentSizeGen2 = 128;

inline constexpr std::uint16_t kConfigAddress = 0x1000;       // configuration segment, 128 bytes
inline constexpr std::uint16_t kCalibrationAddress = 0x1080;  // calibration segment, 128 bytes
inline constexpr std::uint16_t kExtendedAddress = 0xC000;     // extended image, 256 bytes
inline constexpr std::uint16_t kVectorAddress = 0xFFE0;       // interrupt vectors, 32 bytes
inline constexpr std::uint16_t kResetVectorAddress = 0xFFFE;
inline constexpr int kImageSize = 128;
inline constexpr int kExtendedSize = 256;
inline constexpr int kVectorSize = 32;

// Live values in RAM (little-endian words, as the CPU keeps them).
inline constexpr std::uint16_t kTargetTemp = 0x0200;
inline constexpr std::uint16_t kInternalTemp = 0x0202;
inline constexpr std::uint16_t kActualTemp = 0x0204;
inline constexpr std::uint16_t kBoxTemp = 0x0206;      // second generation
inline constexpr std::uint16_t kAmbientTemp = 0x0208;  // second generation
inline constexpr std::uint16_t kEmissivity = 0x020A;   // second generation, thousandths
inline constexpr std::uint16_t kChannel7 = 0x020C;     // second generation
inline constexpr std::uint16_t kLoopOutput = 0x0212;   // first generation
inline constexpr std::uint16_t kModeFlags = 0x025F;
inline constexpr std::uint16_t kOperatingMode = 0x0261;
inline constexpr std::uint16_t kLoopStart = 0x0264;
inline constexpr std::uint16_t kFamilyMarker =
    0x0FF0;  // 0xF4 marks a device the first-generation driver refuses
inline constexpr std::uint16_t kSerialGen1 = 0x1082;  // first generation: 3 bytes, high byte first

// First generation, words of the calibration segment (little-endian): the
// input scaling pair the configuration takes over, the converter's counts
// per 4096 mV (W, unsigned), its value at -1000 mV (S, signed) and the model
// variant (signed; above 0: no alarm function on the IN pin).
inline constexpr std::uint16_t kGen1InputScaling1 = 0x10CC;
inline constexpr std::uint16_t kGen1InputScaling2 = 0x10BE;
inline constexpr std::uint16_t kGen1ConverterSpan = 0x10D0;
inline constexpr std::uint16_t kGen1ConverterZero = 0x10D2;
inline constexpr std::uint16_t kGen1Variant = 0x10D6;
// First generation, configuration offsets of the analog output range
// (temperature words, tenths above -100 °C).
inline constexpr int kGen1OutputRangeLow = 118;
inline constexpr int kGen1OutputRangeHigh = 120;

// First generation: the emissivity the device works with, thousandths.
inline constexpr std::uint16_t kEmissivityGen1 = 0x0208;

inline constexpr std::uint8_t kModeNormal = 0x80;
inline constexpr std::uint8_t kModeLoop = 0x90;
inline constexpr std::uint8_t kModeConfiguring = 0x8C;

// --- Burst switches (data offsets in the configuration segment) -------------
// First generation: byte 44 with bits 0x88, channel words at 106..114.
inline constexpr int kGen1BurstFlags = 44;
inline constexpr int kGen1BurstChannels = 106;
inline constexpr int kGen1MaxChannels = 5;
// Second generation, 4-20 mA layout: byte 32 with bits 0x88, words at 34...
inline constexpr int kLoopBurstFlags = 32;
inline constexpr int kLoopBurstChannels = 34;
inline constexpr int kLoopMaxChannels = 5;
// ... Briov2 and Dunav2: word 82 with 0x0018 set, words at 42..57 ...
inline constexpr int kV2BurstMode = 82;
// ... two-wire v2 models: word 78 with (word & 0x0018) == 0x0008.
inline constexpr int kTwoWireBurstMode = 78;
inline constexpr int kV2BurstChannels = 42;
inline constexpr int kV2MaxChannels = 8;
inline constexpr std::uint8_t kBurstFlagBits = 0x88;
inline constexpr std::uint16_t kBurstModeMask = 0x0018;

// --- Second-generation identification ("E" reply word) ----------------------
namespace Feature {
inline constexpr std::uint16_t Laser = 0x0001;
inline constexpr std::uint16_t HighResolutionHelper = 0x0010;
inline constexpr std::uint16_t ExtendedIdentity = 0x0080;  // answers "F"
inline constexpr std::uint16_t Dunav2 = 0x0400;
inline constexpr std::uint16_t Duna2Wv2 = 0x0800;
inline constexpr std::uint16_t Fenn2W = 0x1000;
inline constexpr std::uint16_t Fenn2WAlt = 0x2000;
inline constexpr std::uint16_t Briov2 = 0x4000;
inline constexpr std::uint16_t Duna2W2Mv2 = 0x8000;
}  // namespace Feature

// Whether a second-generation device with this feature word and these
// calibration words sends temperatures in hundredths: calibration word 44
// (signed) in 1000..1999, or the helper bit with word 0 in 10000..10999.
bool IsHighResolution(std::uint16_t featureWord, std::uint16_t calibrationWord0,
                      std::uint16_t calibrationWord44);

// Temperature words: tenths (or hundredths) of a degree above -100 °C.
std::uint16_t EncodeTemperature(double celsius, bool hundredths = false);
double DecodeTemperature(std::uint16_t word, bool hundredths = false);

// --- Bootstrap loader --------------------------------------------------------
namespace Loader {
inline constexpr std::uint8_t kSync = 0x80;  // also the frame header
inline constexpr std::uint8_t kAck = 0x90;
inline constexpr std::uint8_t kNak = 0xA0;

inline constexpr std::uint8_t kReceivePassword = 0x10;
inline constexpr std::uint8_t kProgram = 0x12;
inline constexpr std::uint8_t kRead = 0x14;
inline constexpr std::uint8_t kErase = 0x16;
inline constexpr std::uint8_t kMassErase = 0x18;
inline constexpr std::uint8_t kLoadProgramCounter = 0x1A;

inline constexpr std::uint16_t kEraseSegmentArgument = 0xA502;
inline constexpr std::uint16_t kMassEraseArgument = 0xA506;
inline constexpr int kMaxFrameBody = 250;  // L1 at most (address, argument and data)

// The application command that hands the line to the loader.
inline constexpr std::uint8_t kEnterLoader[] = {0x3F, 0x01, 0x02, 0x03, 0x04};

// Inverted XOR of the frame read as little-endian words (an odd length is
// padded with a zero byte); sent low byte first.
std::uint16_t Checksum(std::span<const std::uint8_t> frame);
// 80, command, L1, L2, address, argument, data, checksum: L1 = L2 = 4 + data.
std::vector<std::uint8_t> BuildFrame(std::uint8_t command, std::uint16_t address, std::uint16_t argument,
                                     std::span<const std::uint8_t> data = {});
// The loader's answer to a read of n bytes: 80, 00, n, n, data, checksum.
std::vector<std::uint8_t> BuildReadReply(std::span<const std::uint8_t> data);
}  // namespace Loader

}  // namespace BrioWire
