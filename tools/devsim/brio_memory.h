#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// The 64 KiB address space of a Brio device's microcontroller: RAM, the
// information flash 0x1000-0x10FF (erased in segments of 64 bytes on the
// first generation, 128 on the second) and the main flash 0xC000-0xFFFF
// (512-byte segments). Everything else reads 0xFF and takes no writes.
//
// Flash behaves like flash: erasing sets a whole segment to 0xFF, and
// programming can only clear bits (the new byte is old AND written), so a
// block programmed without its erase keeps the old ones.
class BrioMemory {
 public:
  explicit BrioMemory(int infoSegmentSize);

  enum class Region { Ram, InfoFlash, MainFlash, None };
  Region RegionOf(std::uint16_t address) const;
  bool IsFlash(std::uint16_t address) const;

  std::uint8_t Byte(std::uint16_t address) const;
  // Little-endian word at `address` (the CPU's order).
  std::uint16_t Word(std::uint16_t address) const;
  std::vector<std::uint8_t> Block(std::uint16_t address, std::size_t length) const;

  // A store by the running firmware: RAM only (flash needs the loader).
  // Returns whether the byte changed place.
  bool Store(std::uint16_t address, std::uint8_t value);
  void StoreWord(std::uint16_t address, std::uint16_t value);
  // Programming through the loader: RAM takes the byte, flash ANDs it in.
  // Returns false for an address that is neither.
  bool Program(std::uint16_t address, std::uint8_t value);
  // Erases the flash segment holding `address` to 0xFF; false outside flash.
  bool EraseSegment(std::uint16_t address);
  // Erases the information and main flash.
  void MassErase();
  // Where the segment holding `address` starts and how long it is (0 outside
  // flash).
  std::uint16_t SegmentStart(std::uint16_t address) const;
  int SegmentSize(std::uint16_t address) const;

  // Sets bytes regardless of their kind (a profile's factory contents).
  void Load(std::uint16_t address, std::span<const std::uint8_t> bytes);
  // Power loss: RAM forgets its contents (reads 0 after the restart).
  void ClearRam();

  int InfoSegmentSize() const { return infoSegmentSize_; }
  // Counters of what the loader did to flash.
  std::uint64_t ErasedSegments() const { return erasedSegments_; }
  std::uint64_t ProgrammedBytes() const { return programmedBytes_; }

 private:
  std::array<std::uint8_t, 0x10000> bytes_{};
  int infoSegmentSize_;
  std::uint64_t erasedSegments_ = 0;
  std::uint64_t programmedBytes_ = 0;
};
