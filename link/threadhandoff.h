#pragma once

// Values pass between the worker thread and the GUI thread through Qt's event
// queue, under a lock ThreadSanitizer cannot see because Qt itself is not
// instrumented. Marking both ends of each hand-over tells it what the queue
// guarantees; in every other build these calls compile to nothing.

#if defined(__SANITIZE_THREAD__)
#define VELTRA_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELTRA_THREAD_SANITIZER 1
#endif
#endif

#ifdef VELTRA_THREAD_SANITIZER
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#endif

namespace ThreadHandOff {

#ifdef VELTRA_THREAD_SANITIZER
inline char token;
#endif

// Call in the sending thread right before a value leaves for the other thread.
inline void send()
{
#ifdef VELTRA_THREAD_SANITIZER
    __tsan_release(&token);
#endif
}

// Call in the receiving thread before the value is used.
inline void receive()
{
#ifdef VELTRA_THREAD_SANITIZER
    __tsan_acquire(&token);
#endif
}

} // namespace ThreadHandOff
