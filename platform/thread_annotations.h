// Clang's thread-safety annotations, as macros that other compilers read as nothing. The
// `thread-safety` preset builds the program with -Wthread-safety as an error, so state marked as
// guarded by a lock is only touched with the lock held.
#pragma once

#if defined(__clang__)
#define TS_ATTRIBUTE(x) __attribute__((x))
#else
#define TS_ATTRIBUTE(x)
#endif

#define CAPABILITY(name) TS_ATTRIBUTE(capability(name))
#define SCOPED_CAPABILITY TS_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(lock) TS_ATTRIBUTE(guarded_by(lock))
#define PT_GUARDED_BY(lock) TS_ATTRIBUTE(pt_guarded_by(lock))
#define REQUIRES(...) TS_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define ACQUIRE(...) TS_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) TS_ATTRIBUTE(release_capability(__VA_ARGS__))
#define EXCLUDES(...) TS_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define NO_THREAD_SAFETY_ANALYSIS TS_ATTRIBUTE(no_thread_safety_analysis)
