// Clang's thread-safety attributes: which lock guards which data, which functions take, need or
// must not hold which lock. Checked by a clang build with -Wthread-safety; empty elsewhere.
#pragma once

#if defined(__clang__)
#define QUORLANE_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define QUORLANE_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) QUORLANE_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY QUORLANE_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) QUORLANE_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) QUORLANE_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define ACQUIRED_BEFORE(...) QUORLANE_THREAD_ATTRIBUTE(acquired_before(__VA_ARGS__))
#define ACQUIRED_AFTER(...) QUORLANE_THREAD_ATTRIBUTE(acquired_after(__VA_ARGS__))
#define REQUIRES(...) QUORLANE_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) QUORLANE_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) QUORLANE_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define TRY_ACQUIRE(...) QUORLANE_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define EXCLUDES(...) QUORLANE_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ASSERT_CAPABILITY(x) QUORLANE_THREAD_ATTRIBUTE(assert_capability(x))
#define RETURN_CAPABILITY(x) QUORLANE_THREAD_ATTRIBUTE(lock_returned(x))
#define NO_THREAD_SAFETY_ANALYSIS QUORLANE_THREAD_ATTRIBUTE(no_thread_safety_analysis)
