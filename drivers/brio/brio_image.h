#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A raw parameter image of a Brio device: a block of device memory as read,
// and whether it was read completely from the device in this connection.
// Both generations and their setup dialogs pass these between them.
template <std::size_t Size>
struct TBrioImage {
  bool Loaded = false;
  std::array<std::uint8_t, Size> Data{};
  // The little-endian word at data bytes `byteOffset` and `byteOffset` + 1.
  std::uint16_t WordAt(std::size_t byteOffset) const {
    return static_cast<std::uint16_t>(Data[byteOffset] | (Data[byteOffset + 1] << 8));
  }
};
using BrioConfigImage = TBrioImage<128>;       // configuration, flash 0x1000-0x107F ("9CONF")
using BrioCalibrationImage = TBrioImage<128>;  // calibration, flash 0x1080-0x10FF ("9CALI")
using BrioExtendedImage = TBrioImage<256>;     // extended configuration, flash 0xC000 ("9CON2")
using BrioVectorImage = TBrioImage<32>;        // interrupt vectors 0xFFE0-0xFFFF ("9INTV"): the loader password

// The error codes both generations report.
enum BrioErrorCode : int {
  brioErrOpen = 1,            // the port could not be opened
  brioErrClose = 2,           // the port could not be closed
  brioErrNotOpenControl = 3,  // power, loop maintenance or burst asked with the port closed
  brioErrNotOpen = 4,         // an exchange or the connect poll with the port closed
  brioErrNoAnswer = 5,        // an exchange got no (complete) answer
};
