#include "tools/devsim/brio_memory.h"

#include <algorithm>

#include "tools/devsim/brio_wire.h"

using namespace BrioWire;

BrioMemory::BrioMemory(int infoSegmentSize) : infoSegmentSize_(infoSegmentSize) {
  bytes_.fill(0xFF);
  ClearRam();
}

BrioMemory::Region BrioMemory::RegionOf(std::uint16_t address) const {
  if (address >= kRamStart && address <= kRamEnd) return Region::Ram;
  if (address >= kInfoStart && address <= kInfoEnd) return Region::InfoFlash;
  if (address >= kMainStart) return Region::MainFlash;
  return Region::None;
}

bool BrioMemory::IsFlash(std::uint16_t address) const {
  const Region r = RegionOf(address);
  return r == Region::InfoFlash || r == Region::MainFlash;
}

std::uint8_t BrioMemory::Byte(std::uint16_t address) const { return bytes_[address]; }

std::uint16_t BrioMemory::Word(std::uint16_t address) const {
  return static_cast<std::uint16_t>(bytes_[address] | (bytes_[static_cast<std::uint16_t>(address + 1)] << 8));
}

std::vector<std::uint8_t> BrioMemory::Block(std::uint16_t address, std::size_t length) const {
  std::vector<std::uint8_t> out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) out.push_back(bytes_[(address + i) & 0xFFFF]);
  return out;
}

bool BrioMemory::Store(std::uint16_t address, std::uint8_t value) {
  if (RegionOf(address) != Region::Ram) return false;
  bytes_[address] = value;
  return true;
}

void BrioMemory::StoreWord(std::uint16_t address, std::uint16_t value) {
  Store(address, static_cast<std::uint8_t>(value & 0xFF));
  Store(static_cast<std::uint16_t>(address + 1), static_cast<std::uint8_t>(value >> 8));
}

bool BrioMemory::Program(std::uint16_t address, std::uint8_t value) {
  switch (RegionOf(address)) {
    case Region::Ram:
      bytes_[address] = value;
      return true;
    case Region::InfoFlash:
    case Region::MainFlash:
      bytes_[address] &= value;
      ++programmedBytes_;
      return true;
    case Region::None:
      break;
  }
  return false;
}

int BrioMemory::SegmentSize(std::uint16_t address) const {
  switch (RegionOf(address)) {
    case Region::InfoFlash:
      return infoSegmentSize_;
    case Region::MainFlash:
      return kMainSegmentSize;
    default:
      return 0;
  }
}

std::uint16_t BrioMemory::SegmentStart(std::uint16_t address) const {
  const int size = SegmentSize(address);
  if (size == 0) return address;
  return static_cast<std::uint16_t>(
      address - (address - (RegionOf(address) == Region::InfoFlash ? kInfoStart : kMainStart)) % size);
}

bool BrioMemory::EraseSegment(std::uint16_t address) {
  const int size = SegmentSize(address);
  if (size == 0) return false;
  const std::uint16_t start = SegmentStart(address);
  std::fill_n(bytes_.begin() + start, size, std::uint8_t{0xFF});
  ++erasedSegments_;
  return true;
}

void BrioMemory::MassErase() {
  std::fill(bytes_.begin() + kInfoStart, bytes_.begin() + kInfoEnd + 1, std::uint8_t{0xFF});
  std::fill(bytes_.begin() + kMainStart, bytes_.end(), std::uint8_t{0xFF});
  erasedSegments_ += 1;
}

void BrioMemory::Load(std::uint16_t address, std::span<const std::uint8_t> bytes) {
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes_[(address + i) & 0xFFFF] = bytes[i];
}

void BrioMemory::ClearRam() {
  std::fill(bytes_.begin() + kRamStart, bytes_.begin() + kRamEnd + 1, std::uint8_t{0});
}
