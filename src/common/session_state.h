// Where a layer finds its part of the session in use. Each layer keeps what it holds
// between calls in one class of its own (the cable's port and TAP state, the core's
// register cache, the target's connection state, the background job). The host's
// session (src/api/session.h) owns the command layer's, which holds the target's, and
// binds them for the process when the library loads; a test binds fresh ones for each
// case, so that no case sees what the one before left.
//
// A state nobody bound (the core's and the cable's in the library, any layer's in a
// program that links the layers without a session) is made on first use. None of them
// is ever destroyed by this class: the library's unload runs among the static
// destructors and still reaches the cable through the core.
#pragma once

#include <memory>
#include <new>

namespace vantrel {

template <typename State>
class SessionState {
 public:
  SessionState() = delete;

  static State& Current() {
    if (bound_ != nullptr) return *bound_;
    return forProcess_ != nullptr ? *forProcess_ : Unbound();
  }

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

  // Binds a state for the rest of the process, under any scoped binding (the host's
  // session, which is never destroyed). Made before any thread of the library runs.
  static void BindForProcess(State& state) { forProcess_ = &state; }

 private:
  static State& Unbound() {
    alignas(State) static unsigned char storage[sizeof(State)];
    static State* const state = new (storage) State();
    return *state;
  }

  inline static State* bound_ = nullptr;
  inline static State* forProcess_ = nullptr;
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
