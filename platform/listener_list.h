#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace listener_list_detail {
// One counter for every list of the process, so a token is never handed
// out twice, whichever list it came from.
inline std::uint64_t NextToken() {
  static std::atomic<std::uint64_t> next{0};
  return ++next;
}
}  // namespace listener_list_detail

// Several listeners of one notification, each added and removed by the
// token Add returned, so no component ever replaces or restores another's
// callback.
//
// Tokens are unique across all lists: removing a token a list never had
// (the list's owner was made anew since the token was taken) does nothing.
// A list is used from one thread, its owner's. A listener may add or remove
// listeners, itself included, while it is called: the call goes to the
// listeners present when it began, less those removed meanwhile.
template <class... Args>
class ListenerList {
 public:
  using Token = std::uint64_t;
  using Listener = std::function<void(Args...)>;
  // Never handed out: a holder without a listener keeps this.
  static constexpr Token kNoToken = 0;

  // Adds `listener` (kNoToken and nothing added when it is empty).
  Token Add(Listener listener) {
    if (!listener) return kNoToken;
    const Token token = listener_list_detail::NextToken();
    entries_.push_back({token, std::move(listener)});
    return token;
  }

  // Removes the listener of `token`; false when this list does not have it.
  bool Remove(Token token) {
    const auto it = Find(token);
    if (it == entries_.end()) return false;
    entries_.erase(it);
    return true;
  }

  bool Empty() const { return entries_.empty(); }
  std::size_t Size() const { return entries_.size(); }

  // Calls every listener in the order they were added.
  void Call(Args... args) const {
    if (entries_.empty()) return;
    const std::vector<Entry> present = entries_;
    for (const Entry& e : present)
      if (Find(e.token) != entries_.end()) e.listener(args...);
  }

 private:
  struct Entry {
    Token token = kNoToken;
    Listener listener;
  };

  typename std::vector<Entry>::const_iterator Find(Token token) const {
    return std::find_if(entries_.begin(), entries_.end(),
                        [token](const Entry& e) { return e.token == token; });
  }
  typename std::vector<Entry>::iterator Find(Token token) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [token](const Entry& e) { return e.token == token; });
  }

  std::vector<Entry> entries_;
};
