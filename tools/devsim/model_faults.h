#pragma once

#include <cstdint>

// Misbehaviour every emulated device family can be told to show: lost,
// mangled and late replies, noise in a burst stream and vanishing. All off
// by default. A family adds its own faults in a derived struct.
struct ModelFaults {
  // Sends nothing at all: no replies, no stream (requests are still logged).
  bool silent = false;
  // The next N complete requests get no reply (counts down; 0 = off).
  int ignoreRequests = 0;
  // Each reply loses this many bytes from its end.
  int shortReplyBytes = 0;
  // Each reply gets this many random bytes appended.
  int extraReplyBytes = 0;
  // Each reply goes out this many milliseconds after its request ended.
  int lateReplyMs = 0;
  // Random bytes sent ahead of each reply.
  int noiseBeforeReply = 0;
  // How many replies the reply faults (short, extra, late, noise) apply to;
  // -1 = every reply. Counts down.
  int replyFaultLimit = -1;
  // While streaming, after every N-th frame this many random bytes (never
  // the sync byte) follow; the frame ahead of them is marked spoiled.
  int streamNoiseEveryFrames = 0;
  int streamNoiseBytes = 3;
  // The device vanishes once this many bytes were streamed since the
  // stream started (the last frame is cut short); 0 = off.
  std::int64_t vanishAfterStreamBytes = 0;
  // The device vanishes on the N-th request from now on (1 = the next one),
  // before answering it; 0 = off.
  int vanishAfterRequests = 0;
  // Seed of the random bytes, so a failing run can be repeated.
  std::uint32_t noiseSeed = 1;

  // What the request-level faults do to the request at hand.
  enum class RequestFault {
    None,    // answer it
    Vanish,  // the device vanishes on it
    Ignore,  // leave it unanswered
  };
  // Counts the request against vanishAfterRequests and ignoreRequests.
  RequestFault TakeRequestFault();
};
