#pragma once

// A form's "loading" flag: while controls are filled from code, their change
// handlers must not write to a device. The flag is set for the lifetime of a
// LoadingGuard and restored to its earlier value afterwards, so nested loads
// and early returns (or exceptions) leave it right.
//
//   LoadingFlag loading_;
//   void ParamsToControls() { LoadingGuard guard(loading_); ... }
//   void seValueChange() { if (loading_) return; ... }
class LoadingFlag {
 public:
  LoadingFlag() = default;
  LoadingFlag(const LoadingFlag&) = delete;
  LoadingFlag& operator=(const LoadingFlag&) = delete;

  bool IsSet() const { return set_; }
  explicit operator bool() const { return set_; }

 private:
  friend class LoadingGuard;
  bool set_ = false;
};

class LoadingGuard {
 public:
  explicit LoadingGuard(LoadingFlag& flag) : flag_(flag.set_), previous_(flag.set_) { flag_ = true; }
  explicit LoadingGuard(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~LoadingGuard() { flag_ = previous_; }
  LoadingGuard(const LoadingGuard&) = delete;
  LoadingGuard& operator=(const LoadingGuard&) = delete;

 private:
  bool& flag_;
  bool previous_;
};
