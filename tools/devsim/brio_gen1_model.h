#pragma once

#include <memory>

#include "tools/devsim/brio_device_model.h"

// Emulation of a first-generation Brio device (device type codes 3 and 4):
// firmware without a command set of its own, read and written through
// memory peeks and pokes at 9600 8N1 -
//   3E aH aL        -> mem[a+1], mem[a]   (word)
//   3C aH aL        -> mem[a]             (byte)
//   3D aH aL v      -> mem[a] after storing v (RAM only)
//   3A aH aL vH vL  -> nothing; stores the word (RAM only)
//   3F 01 02 03 04  -> nothing; the bootstrap loader takes the line (8E1)
// with the temperatures at 0x0200/0x0202/0x0204 (tenths above -100 °C),
// the emissivity in thousandths at 0x0208,
// the loop output at 0x0212, the mode bytes at 0x025F, 0x0261 and 0x0264,
// and the serial number at 0x1082..0x1084. The supply comes from DTR; when
// the configuration segment switches burst on (data byte 44 with 0x88), the
// device streams the words at the addresses in data bytes 106..115 after
// every start until the first byte arrives. Written from the wire protocol.
class BrioGen1Model : public BrioDeviceModel {
 public:
  explicit BrioGen1Model(const BrioProfile& profile = BrioProfiles::Default(1),
                         const BrioOptions& options = {});

  // The shared Brio options (see BrioDeviceModel::OptionsHelp). Returns null
  // and sets `error` for an unknown option or a bad value.
  static std::unique_ptr<BrioGen1Model> Create(const QStringList& options, QString* error);

  // The RAM cells loop maintenance works with, as the firmware holds them:
  // the loop output word at 0x0212 (tenths above -100 °C), the operating
  // mode byte at 0x0261 (kModeNormal, kModeLoop, kModeConfiguring) and the
  // loop start byte at 0x0264. RAM reads 0 while the device is off.
  std::uint16_t LoopOutputWord() const;
  std::uint8_t OperatingMode() const;
  std::uint8_t LoopStartByte() const;
  // The analog output range words of the configuration segment (offsets
  // 118 and 120).
  std::uint16_t OutputRangeLowWord() const;
  std::uint16_t OutputRangeHighWord() const;

 protected:
  int ArgumentCount(std::uint8_t first) const override;
  Outcome Execute(std::span<const std::uint8_t> request, Clock::time_point now) override;
  void StartFirmware(Clock::time_point now) override;
  void WriteLiveValues() override;
  std::vector<std::uint16_t> ConfiguredBurst() const override;

 private:
  // A write that touched the emissivity word (0x0208) takes effect at once.
  void EmissivityWritten(std::uint16_t address);
};

// Puts "brio" (BrioGen1Model::Create) into the ModelRegistry; safe to call
// more than once. The emulator program gets it without calling.
bool RegisterBrioGen1Model();
