// Which lock guards what, and which lock a function needs, stated to the
// compiler: Clang checks these (-Wthread-safety); other compilers ignore them.
#pragma once

#include <mutex>

#if defined(__clang__)
#define IZ_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define IZ_THREAD_ATTRIBUTE(x)
#endif

#define IZ_CAPABILITY(x) IZ_THREAD_ATTRIBUTE(capability(x))
#define IZ_SCOPED_CAPABILITY IZ_THREAD_ATTRIBUTE(scoped_lockable)
#define IZ_GUARDED_BY(x) IZ_THREAD_ATTRIBUTE(guarded_by(x))
#define IZ_REQUIRES(...) IZ_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define IZ_EXCLUDES(...) IZ_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define IZ_ACQUIRE(...) IZ_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define IZ_RELEASE(...) IZ_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))

namespace iz {

// A mutex the analysis knows.
class IZ_CAPABILITY("mutex") Mutex {
  public:
    void lock() IZ_ACQUIRE() { mutex_.lock(); }
    void unlock() IZ_RELEASE() { mutex_.unlock(); }

  private:
    std::mutex mutex_;
};

// Holds a Mutex for its scope.
class IZ_SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) IZ_ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() IZ_RELEASE() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    Mutex& mutex_;
};

}  // namespace iz
