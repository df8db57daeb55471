#pragma once

#include <memory>

#include "tools/devsim/brio_device_model.h"

// Emulation of the second-generation Brio devices (device type codes 5 to
// 11; the model line follows the profile's feature word): one-byte binary
// commands and five-character ASCII commands at 9600 8N1, no checksums -
//   01 02 03 12     target, internal, actual, ambient temperature (2 bytes;
//                   hundredths on a high-resolution device, else tenths)
//   09              box temperature (2 bytes, tenths)
//   04              emissivity (thousandths)
//   11              2 bytes: emissivity switches, then the low byte of
//                   channel 7 (a host reading one byte gets the switches)
//   0E              serial number (3 bytes, configuration bytes 0..2)
//   10, 90 v        laser state / laser on (v = 1) or off (1 byte)
//   84 wH wL        emissivity, taken when 100 <= w <= 1100 (2-byte echo)
//   81 b, 82        fixed loop output b/10 / back to normal (1 byte)
//   3D aH aL v      RAM byte write (1 byte: the byte after the write)
//   "E"             feature word, range low, range high (6 bytes)
//   "F"             range 2, flag word, 10 filler bytes (16; only with 0x0080)
//   "9WAIT"         "WAITING", only within the wait window after a start
//   "9CONF" "9CALI" "9CON2" "9INTV"  flash 0x1000 (128), 0x1080 (128),
//                   0xC000 (256; Briov2 and Dunav2 only), 0xFFE0 (32)
//   3F 01 02 03 04  the bootstrap loader takes the line (8E1)
// The supply comes from DTR. After a start the device streams burst frames
// when its configuration switches burst on (the layout its model line
// reads), until the first byte arrives; every command is answered with or
// without the "9WAIT" handshake. Written from the wire protocol.
class BrioGen2Model : public BrioDeviceModel {
 public:
  explicit BrioGen2Model(const BrioProfile& profile = BrioProfiles::Default(2),
                         const BrioOptions& options = {});

  static std::unique_ptr<BrioGen2Model> Create(const QStringList& options, QString* error);

  bool LaserOn() const;
  // The fixed loop output (tenths), or -1 while the output is normal.
  int LoopOutput() const;
  bool HighResolution() const;

 protected:
  int ArgumentCount(std::uint8_t first) const override;
  Outcome Execute(std::span<const std::uint8_t> request, Clock::time_point now) override;
  void StartFirmware(Clock::time_point now) override;
  void WriteLiveValues() override;
  std::vector<std::uint16_t> ConfiguredBurst() const override;

 private:
  bool HighResolutionLocked() const;
  Outcome ExecuteText(std::span<const std::uint8_t> request, Clock::time_point now);

  bool laserOn_ = false;
  int loopOutput_ = -1;
  Clock::time_point waitUntil_{};
};

// Puts "brio2" (BrioGen2Model::Create) into the ModelRegistry.
bool RegisterBrioGen2Model();
