#pragma once

// Lock annotations that clang's thread-safety analysis checks (-Wthread-safety):
// a lock type is a capability, every shared field names the lock that guards
// it, and every function the locks it needs or must not hold. Other compilers
// see nothing.

#if defined(__clang__)
#define VANTIX_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define VANTIX_THREAD_ANNOTATION(x)
#endif

#define CAPABILITY(x) VANTIX_THREAD_ANNOTATION(capability(x))
#define SCOPED_CAPABILITY VANTIX_THREAD_ANNOTATION(scoped_lockable)
#define GUARDED_BY(x) VANTIX_THREAD_ANNOTATION(guarded_by(x))
#define PT_GUARDED_BY(x) VANTIX_THREAD_ANNOTATION(pt_guarded_by(x))
#define ACQUIRED_AFTER(...) VANTIX_THREAD_ANNOTATION(acquired_after(__VA_ARGS__))
#define REQUIRES(...) VANTIX_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) VANTIX_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define RELEASE(...) VANTIX_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) VANTIX_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) VANTIX_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define RETURN_CAPABILITY(x) VANTIX_THREAD_ANNOTATION(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS VANTIX_THREAD_ANNOTATION(no_thread_safety_analysis)
