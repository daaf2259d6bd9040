#pragma once
// A call handed to another thread through Qt's queue of posted events
// (QMetaObject::invokeMethod with Qt::QueuedConnection), made visible to
// ThreadSanitizer. Qt is not built with the sanitizer, so the queue's own
// locking is invisible to it: the captured values written by the posting
// thread and read by the receiving one would be reported as a race. The call
// object says "released" once it stands where Qt keeps it (the end of its
// move into Qt's slot object, after every write of the posting thread),
// "acquired" before it is run or destroyed, and "released" again after it
// has run (whichever thread drops Qt's last reference destroys it). Without
// the sanitizer it is the bare callable.
#include <type_traits>
#include <utility>

#if defined(__SANITIZE_THREAD__)
#define FW_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define FW_THREAD_SANITIZER 1
#endif
#endif

#ifdef FW_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>

template <class F>
class THandedOff {
 public:
  explicit THandedOff(F Fn) : fn_(std::move(Fn)) { __tsan_release(this); }
  THandedOff(THandedOff&& Other) : fn_((__tsan_acquire(&Other), std::move(Other.fn_))) { __tsan_release(this); }
  THandedOff(const THandedOff& Other) : fn_((__tsan_acquire(const_cast<THandedOff*>(&Other)), Other.fn_)) {
    __tsan_release(this);
  }
  THandedOff& operator=(const THandedOff&) = delete;
  ~THandedOff() { __tsan_acquire(this); }
  // Released again when the call ends: Qt may destroy the call object on
  // the posting thread, after the receiving one has run it.
  template <class... A>
  decltype(auto) operator()(A&&... Args) {
    __tsan_acquire(this);
    const TReleaseAtEnd release{this};
    return fn_(std::forward<A>(Args)...);
  }

 private:
  struct TReleaseAtEnd {
    THandedOff* Self;
    ~TReleaseAtEnd() { __tsan_release(Self); }
  };
  F fn_;
};

template <class F>
THandedOff<std::decay_t<F>> HandedOff(F&& Fn) {
  return THandedOff<std::decay_t<F>>(std::forward<F>(Fn));
}

// The same for a bare posted event: the poster releases the target before
// posting, the receiver acquires it before handling the event.
inline void HandOffPosted(void* Target) { __tsan_release(Target); }
inline void HandOffReceived(void* Target) { __tsan_acquire(Target); }
#else
inline void HandOffPosted(void*) {}
inline void HandOffReceived(void*) {}

template <class F>
F&& HandedOff(F&& Fn) {
  return std::forward<F>(Fn);
}
#endif
