// Threads and synchronisation in Win32 terms on std::thread: critical
// sections (recursive, like Win32's), events (manual or auto reset) and
// threads with a timed wait for their end. Every object ends what it owns:
// a Thread is always joined, never detached.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/win32_types.h"

inline constexpr DWORD INFINITE = 0xFFFFFFFF;
inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_TIMEOUT = 0x102;
inline constexpr int THREAD_PRIORITY_NORMAL = 0;
inline constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;

// A recursive lock: the owning thread may enter it again. Meets the
// standard's Lockable requirements, so std::unique_lock and
// std::condition_variable_any work with it.
class CriticalSection {
 public:
  void enter() { m_mutex.lock(); }
  void leave() { m_mutex.unlock(); }
  bool tryEnter() { return m_mutex.try_lock(); }

  void lock() { enter(); }
  void unlock() { leave(); }
  bool try_lock() { return tryEnter(); }

 private:
  std::recursive_mutex m_mutex;
};

// A Win32 event. A manual-reset event stays set until reset; an auto-reset
// event releases one waiter and clears itself.
class Event {
 public:
  explicit Event(bool manualReset = false, bool initialState = false)
      : m_manualReset(manualReset), m_signalled(initialState) {}

  void set();
  void reset();
  // WAIT_OBJECT_0 when the event was (or became) set, WAIT_TIMEOUT otherwise.
  DWORD wait(DWORD milliseconds = INFINITE);

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  const bool m_manualReset;
  bool m_signalled;
};

// One thread of execution. Not copyable; the destructor waits for the
// thread to end, so a Thread never outlives the objects its body uses.
class Thread {
 public:
  Thread() = default;
  ~Thread() { join(); }
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts `body` on a new thread. Fails (false) while a previous body has
  // not been joined, or when the system has no thread to give.
  bool start(std::function<void()> body);
  // Waits up to `milliseconds` for the body to return; WAIT_OBJECT_0 once it
  // has (the thread is then joined), WAIT_TIMEOUT while it still runs, and
  // WAIT_OBJECT_0 at once when no thread was started.
  DWORD wait(DWORD milliseconds = INFINITE);
  void join() { wait(INFINITE); }
  // True from start until joined.
  bool running() const { return m_thread.joinable(); }
  // True once the body has returned (joined or not).
  bool finished() const { return m_done->load(); }
  // Linux threads of an unprivileged process cannot be raised above normal;
  // the request is accepted and has no effect.
  void setPriority(int) {}
  // True when called from this object's own thread.
  bool isCurrent() const { return m_thread.get_id() == std::this_thread::get_id(); }

 private:
  struct Done {
    std::mutex mutex;
    std::condition_variable cv;
    std::atomic<bool> flag{false};
    bool load() const { return flag.load(); }
  };
  std::shared_ptr<Done> m_done = std::make_shared<Done>();
  std::thread m_thread;
};
