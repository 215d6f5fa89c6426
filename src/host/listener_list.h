// The listeners a source of events tells, in the order they were added. A listener is not owned;
// it leaves the list before it is destroyed (ListenerScope does both for it). One removed while
// the list is telling is skipped from then on, never called again.
#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quorvane::host {

template <typename Listener>
class ListenerList {
 public:
  // A listener already in the list is not added twice.
  void Add(Listener& listener) {
    if (std::find(listeners_.begin(), listeners_.end(), &listener) == listeners_.end()) {
      listeners_.push_back(&listener);
    }
  }
  void Remove(Listener& listener) {
    const auto found = std::find(listeners_.begin(), listeners_.end(), &listener);
    if (found == listeners_.end()) return;
    if (telling_ > 0) {
      *found = nullptr;  // compacted once the telling is over
    } else {
      listeners_.erase(found);
    }
  }
  bool Empty() const {
    return std::none_of(listeners_.begin(), listeners_.end(), [](Listener* l) { return l; });
  }

  // Calls `tell(listener)` on each listener.
  template <typename Call>
  void Tell(Call tell) {
    ++telling_;
    // By index: a listener added while telling is told too, and a slot emptied is skipped.
    for (std::size_t i = 0; i < listeners_.size(); ++i) {
      if (Listener* listener = listeners_[i]) tell(*listener);
    }
    if (--telling_ == 0) std::erase(listeners_, nullptr);
  }
  // True when `ask(listener)` is true for any listener.
  template <typename Question>
  bool Any(Question ask) const {
    return std::any_of(listeners_.begin(), listeners_.end(),
                       [&](Listener* l) { return l && ask(*l); });
  }
  // True unless `ask(listener)` is false for some listener.
  template <typename Question>
  bool All(Question ask) const {
    return std::all_of(listeners_.begin(), listeners_.end(),
                       [&](Listener* l) { return !l || ask(*l); });
  }

 private:
  std::vector<Listener*> listeners_;
  int telling_ = 0;
};

// Adds a listener to a source for the scope's life: `source.AddListener(listener)` now,
// `source.RemoveListener(listener)` at its end. The source must outlive the scope.
template <typename Source, typename Listener>
class ListenerScope {
 public:
  ListenerScope(Source& source, Listener& listener) : source_(source), listener_(listener) {
    source_.AddListener(listener_);
  }
  ~ListenerScope() { source_.RemoveListener(listener_); }
  ListenerScope(const ListenerScope&) = delete;
  ListenerScope& operator=(const ListenerScope&) = delete;

 private:
  Source& source_;
  Listener& listener_;
};

}  // namespace quorvane::host
