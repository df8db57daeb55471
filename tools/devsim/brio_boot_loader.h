#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

class BrioMemory;

// What the loader made of one SYNC or frame.
struct BrioLoaderStep {
  enum class Outcome {
    Acknowledged,  // ACK (or, for a read, the data reply) sent
    BadFrame,      // L1 != L2, oversized, or wrong checksum: NAK
    Refused,       // password missing or wrong, bad argument, address outside memory, refused on command: NAK
    Incomplete,    // the rest of the frame never came: nothing sent
  };
  QString name;  // "Sync", "ReceivePassword", "EraseSegment", "Program", "Read", "MassErase",
                 // "LoadProgramCounter", "Unknown"
  std::vector<std::uint8_t> bytes;  // as received, header to checksum
  std::uint8_t command = 0;
  std::uint16_t address = 0;
  std::uint16_t argument = 0;
  Outcome outcome = Outcome::Acknowledged;
  std::vector<std::uint8_t> reply;
  // Load PC was acknowledged: the application runs from now on.
  bool startsApplication = false;
  // Programming stopped at the program limit (the device vanishes here).
  bool stoppedAtLimit = false;
};

// The microcontroller's serial bootstrap loader, as published for its chip
// family: SYNC (a lone 0x80) is answered with ACK (0x90); frames are
// 80 CMD L1 L2 AL AH LL LH data CKL CKH with the inverted-XOR checksum.
// Receive password (compared with the interrupt vectors 0xFFE0-0xFFFF),
// erase segment, mass erase, program (flash ANDs), read and load program
// counter are understood; everything but mass erase needs the password
// first. A bad frame is answered with NAK (0xA0).
//
// A 0x80 is a frame header when a command byte follows at once and a SYNC
// when nothing follows within the SYNC gap (the host waits for the ACK
// before it sends anything else). Zero bytes and other noise between frames
// are ignored.
class BrioBootLoader {
 public:
  using Clock = std::chrono::steady_clock;

  explicit BrioBootLoader(BrioMemory& memory);

  // A fresh start of the loader: no password given, nothing half received.
  void Enter();

  // Feeds bytes received at `now`; appends one step per SYNC or frame
  // completed (their replies are the caller's to send).
  void Receive(std::span<const std::uint8_t> bytes, Clock::time_point now,
               std::vector<BrioLoaderStep>& steps);
  // Completes a lone SYNC after its gap and drops a frame whose bytes
  // stopped coming.
  void Tick(Clock::time_point now, std::vector<BrioLoaderStep>& steps);
  bool WantsTicks() const;

  bool PasswordAccepted() const { return passwordOk_; }

  // Options.
  void SetSyncGap(std::chrono::milliseconds gap) { syncGap_ = gap; }
  void SetFrameTimeout(std::chrono::milliseconds timeout) { frameTimeout_ = timeout; }
  // A wrong password erases all flash, as many loaders of the family do.
  void SetMassEraseOnBadPassword(bool on) { eraseOnBadPassword_ = on; }
  // Faults: the next `count` frames are answered with NAK and not carried
  // out; programming stops for good once `bytes` more flash bytes were
  // programmed (-1: no limit).
  void RefuseNextFrames(int count) { refuseFrames_ = count; }
  void SetProgramLimit(std::int64_t bytes) { programLimit_ = bytes; }
  std::int64_t ProgramLimit() const { return programLimit_; }

 private:
  enum class State { Idle, HeaderSeen, Frame };

  void CompleteSync(std::vector<BrioLoaderStep>& steps);
  void CompleteFrame(std::vector<BrioLoaderStep>& steps);
  void Execute(BrioLoaderStep& step, std::span<const std::uint8_t> data);
  static bool IsCommand(std::uint8_t byte);

  BrioMemory& memory_;
  State state_ = State::Idle;
  std::vector<std::uint8_t> frame_;
  Clock::time_point lastByte_{};
  bool passwordOk_ = false;
  std::chrono::milliseconds syncGap_{3};
  std::chrono::milliseconds frameTimeout_{100};
  bool eraseOnBadPassword_ = true;
  int refuseFrames_ = 0;
  std::int64_t programLimit_ = -1;
};
