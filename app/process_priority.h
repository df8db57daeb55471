#pragma once

// The process's scheduling priority as the program offers it: 0 idle,
// 1 normal, 2 high, 3 real-time (the settings key "Priority"). On Linux the
// classes are nice values (19, 0, -10, -20); raising the priority needs
// privileges, and a refusal leaves the priority as it is.
class ProcessPriority {
 public:
  static constexpr int kIdle = 0;
  static constexpr int kNormal = 1;
  static constexpr int kHigh = 2;
  static constexpr int kRealtime = 3;

  // Sets the class `index`; false when the system refused it or the index is
  // not one of the four.
  static bool Apply(int index);
  // The class the process runs at now.
  static int Current();
  // The class a nice value belongs to.
  static int IndexOfNice(int nice);
};
