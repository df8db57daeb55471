#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

// A pseudo-terminal pair for tests and emulators: the slave side is what a
// program opens as its serial port (SlavePath), the master side is the far
// end of the line.
//
// The slave is put in raw mode at once from this side, so nothing written
// before the program configures the port is mangled or echoed. A slave fd
// is kept open as long as the pair lives, so the master does not read EIO
// while the program has its port closed.
class PtyPair {
 public:
  PtyPair();
  ~PtyPair();
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  // False when openpty failed (errno in Error()).
  bool IsValid() const { return master_ >= 0; }
  int Error() const { return error_; }

  int MasterFd() const { return master_; }
  int SlaveFd() const { return slave_; }
  QString SlavePath() const { return slavePath_; }

  // Puts the slave in raw mode (8 data bits, no echo, no translation).
  bool MakeSlaveRaw();
  // The line speed the program set on the slave, standard or not; 0 when
  // it cannot be read.
  int BaudRate() const;
  // Stop bits the program set (1 or 2); 0 when they cannot be read.
  int StopBits() const;

  // Writes every byte to the master (bounded by `timeout`); returns the
  // count written.
  std::size_t Write(std::span<const std::uint8_t> bytes,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds(2000));
  // Reads from the master until `count` bytes came or `timeout` passed.
  std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds timeout);
  // Reads whatever is waiting on the master now.
  std::vector<std::uint8_t> ReadAvailable();

  // Hangs the line up: the program sees its port disappear.
  void CloseMaster();
  void CloseSlave();

 private:
  int master_ = -1;
  int slave_ = -1;
  int error_ = 0;
  QString slavePath_;
};
