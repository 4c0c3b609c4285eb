// Where a layer finds its part of the session in use. Each layer keeps what it holds
// between calls in one class of its own (the cable's port and TAP state, the core's
// register cache, the target's connection state, the background job); the host's
// session (src/api/session.h) owns one of each and binds them when it is made, and a
// test binds fresh ones for each case, so no case sees what the one before left.
//
// A program that links a layer without making a session (a bench, a fuzzer) gets a
// state of that layer made on first use. Neither that one nor a bound one is ever
// destroyed by this class: the library's unload runs among the static destructors and
// still reaches the cable through the core.
#pragma once

#include <memory>
#include <new>

namespace vantrel {

template <typename State>
class SessionState {
 public:
  SessionState() = delete;

  static State& Current() { return bound_ != nullptr ? *bound_ : Unbound(); }

  // Binds a state for as long as the binding lives; the one bound before comes back
  // after it. Made before any thread of the library runs, ended after they all stopped.
  class Binding {
   public:
    explicit Binding(State& state) : previous_(bound_) { bound_ = &state; }
    ~Binding() { bound_ = previous_; }
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;

   private:
    State* previous_;
  };

  // Binds a state for the rest of the process (the host's session, which is never destroyed).
  static void BindForProcess(State& state) { bound_ = &state; }

 private:
  static State& Unbound() {
    alignas(State) static unsigned char storage[sizeof(State)];
    static State* const state = new (storage) State();
    return *state;
  }

  inline static State* bound_ = nullptr;
};

// A state of its own, as at load, bound for as long as this object lives: what a test
// case, a benchmark or a fuzz input starts from. On the heap, since the cable's queue
// alone is some hundred kilobytes.
template <typename State>
class FreshState {
 public:
  FreshState() = default;
  FreshState(const FreshState&) = delete;
  FreshState& operator=(const FreshState&) = delete;

  State& operator*() { return *state_; }
  State* operator->() { return state_.get(); }

 private:
  std::unique_ptr<State> state_ = std::make_unique<State>();
  typename SessionState<State>::Binding binding_{*state_};
};

}  // namespace vantrel
