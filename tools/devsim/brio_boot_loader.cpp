#include "tools/devsim/brio_boot_loader.h"

#include "tools/devsim/brio_memory.h"
#include "tools/devsim/brio_wire.h"

using namespace BrioWire::Loader;

namespace {
constexpr std::size_t kHeaderLength = 4;  // 80 CMD L1 L2
}  // namespace

BrioBootLoader::BrioBootLoader(BrioMemory& memory) : memory_(memory) {}

void BrioBootLoader::Enter() {
  state_ = State::Idle;
  frame_.clear();
  passwordOk_ = false;
}

bool BrioBootLoader::IsCommand(std::uint8_t byte) {
  switch (byte) {
    case kReceivePassword:
    case kProgram:
    case kRead:
    case kErase:
    case kMassErase:
    case kLoadProgramCounter:
      return true;
    default:
      // Commands of the protocol this loader does not carry out (version,
      // erase check, baud rate change) still arrive as frames.
      return byte >= 0x10 && byte <= 0x26 && byte % 2 == 0;
  }
}

void BrioBootLoader::Receive(std::span<const std::uint8_t> bytes, Clock::time_point now,
                             std::vector<BrioLoaderStep>& steps) {
  Tick(now, steps);
  for (const std::uint8_t b : bytes) {
    lastByte_ = now;
    switch (state_) {
      case State::Idle:
        if (b == kSync) {
          frame_.assign(1, b);
          state_ = State::HeaderSeen;
        }
        // Anything else between frames is noise or filler.
        break;
      case State::HeaderSeen:
        if (IsCommand(b)) {
          frame_.push_back(b);
          state_ = State::Frame;
        } else {
          // The 0x80 stood alone: a SYNC. A second 0x80 may start a frame.
          CompleteSync(steps);
          if (b == kSync) {
            frame_.assign(1, b);
            state_ = State::HeaderSeen;
          }
        }
        break;
      case State::Frame:
        frame_.push_back(b);
        if (frame_.size() == kHeaderLength) {
          const std::uint8_t l1 = frame_[2];
          const std::uint8_t l2 = frame_[3];
          if (l1 != l2 || l1 < 4 || l1 > kMaxFrameBody) {
            BrioLoaderStep step;
            step.name = QStringLiteral("BadFrame");
            step.bytes = frame_;
            step.command = frame_[1];
            step.outcome = BrioLoaderStep::Outcome::BadFrame;
            step.reply = {kNak};
            steps.push_back(std::move(step));
            frame_.clear();
            state_ = State::Idle;
          }
        } else if (frame_.size() > kHeaderLength && frame_.size() == kHeaderLength + frame_[2] + 2) {
          CompleteFrame(steps);
        }
        break;
    }
  }
}

void BrioBootLoader::Tick(Clock::time_point now, std::vector<BrioLoaderStep>& steps) {
  if (state_ == State::HeaderSeen && now - lastByte_ >= syncGap_) {
    CompleteSync(steps);
  } else if (state_ == State::Frame && now - lastByte_ >= frameTimeout_) {
    BrioLoaderStep step;
    step.name = QStringLiteral("Incomplete");
    step.bytes = frame_;
    step.command = frame_.size() > 1 ? frame_[1] : 0;
    step.outcome = BrioLoaderStep::Outcome::Incomplete;
    steps.push_back(std::move(step));
    frame_.clear();
    state_ = State::Idle;
  }
}

bool BrioBootLoader::WantsTicks() const { return state_ != State::Idle; }

void BrioBootLoader::CompleteSync(std::vector<BrioLoaderStep>& steps) {
  BrioLoaderStep step;
  step.name = QStringLiteral("Sync");
  step.bytes = {kSync};
  step.reply = {kAck};
  steps.push_back(std::move(step));
  frame_.clear();
  state_ = State::Idle;
}

void BrioBootLoader::CompleteFrame(std::vector<BrioLoaderStep>& steps) {
  BrioLoaderStep step;
  step.bytes = frame_;
  step.command = frame_[1];
  step.address = static_cast<std::uint16_t>(frame_[4] | (frame_[5] << 8));
  step.argument = static_cast<std::uint16_t>(frame_[6] | (frame_[7] << 8));
  frame_.clear();
  state_ = State::Idle;

  const std::size_t end = step.bytes.size() - 2;
  const std::uint16_t sent = static_cast<std::uint16_t>(step.bytes[end] | (step.bytes[end + 1] << 8));
  const std::span<const std::uint8_t> covered(step.bytes.data(), end);
  if (Checksum(covered) != sent) {
    step.name = QStringLiteral("BadFrame");
    step.outcome = BrioLoaderStep::Outcome::BadFrame;
    step.reply = {kNak};
  } else if (refuseFrames_ > 0) {
    --refuseFrames_;
    step.name = QStringLiteral("RefusedFrame");
    step.outcome = BrioLoaderStep::Outcome::Refused;
    step.reply = {kNak};
  } else {
    Execute(step, covered.subspan(8));
  }
  steps.push_back(std::move(step));
}

void BrioBootLoader::Execute(BrioLoaderStep& step, std::span<const std::uint8_t> data) {
  auto refuse = [&step] {
    step.outcome = BrioLoaderStep::Outcome::Refused;
    step.reply = {kNak};
  };
  auto ack = [&step] {
    step.outcome = BrioLoaderStep::Outcome::Acknowledged;
    step.reply = {kAck};
  };
  switch (step.command) {
    case kReceivePassword: {
      step.name = QStringLiteral("ReceivePassword");
      const bool match = step.address == BrioWire::kVectorAddress && data.size() == BrioWire::kVectorSize &&
                         memory_.Block(BrioWire::kVectorAddress, BrioWire::kVectorSize) ==
                             std::vector<std::uint8_t>(data.begin(), data.end());
      passwordOk_ = match;
      if (match) return ack();
      if (eraseOnBadPassword_) memory_.MassErase();
      return refuse();
    }
    case kMassErase:
      step.name = QStringLiteral("MassErase");
      memory_.MassErase();
      return ack();
    case kErase:
      step.name = QStringLiteral("EraseSegment");
      if (!passwordOk_ || step.argument != kEraseSegmentArgument || !data.empty()) return refuse();
      if (!memory_.EraseSegment(step.address)) return refuse();
      return ack();
    case kProgram: {
      step.name = QStringLiteral("Program");
      if (!passwordOk_ || step.argument != data.size()) return refuse();
      for (std::size_t i = 0; i < data.size(); ++i) {
        if (memory_.RegionOf(static_cast<std::uint16_t>(step.address + i)) == BrioMemory::Region::None ||
            step.address + i > 0xFFFF)
          return refuse();
      }
      for (std::size_t i = 0; i < data.size(); ++i) {
        const auto at = static_cast<std::uint16_t>(step.address + i);
        if (memory_.IsFlash(at)) {
          if (programLimit_ == 0) {
            step.stoppedAtLimit = true;
            step.outcome = BrioLoaderStep::Outcome::Incomplete;
            return;
          }
          if (programLimit_ > 0) --programLimit_;
        }
        memory_.Program(at, data[i]);
      }
      return ack();
    }
    case kRead:
      step.name = QStringLiteral("Read");
      if (!passwordOk_ || !data.empty() || step.argument == 0 || step.argument > kMaxFrameBody ||
          step.address + step.argument > 0x10000)
        return refuse();
      step.outcome = BrioLoaderStep::Outcome::Acknowledged;
      step.reply = BuildReadReply(memory_.Block(step.address, step.argument));
      return;
    case kLoadProgramCounter:
      step.name = QStringLiteral("LoadProgramCounter");
      if (!passwordOk_ || !data.empty()) return refuse();
      ack();
      step.startsApplication = true;
      return;
    default:
      step.name = QStringLiteral("Unknown");
      return refuse();
  }
}
