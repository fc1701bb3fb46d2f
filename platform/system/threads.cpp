// Threads and synchronisation on the standard library.
#include "platform/system/threads.h"

#include <chrono>
#include <memory>
#include <system_error>

void Event::set() {
  {
    std::lock_guard lock(m_mutex);
    m_signalled = true;
  }
  if (m_manualReset)
    m_changed.notify_all();
  else
    m_changed.notify_one();
}

void Event::reset() {
  std::lock_guard lock(m_mutex);
  m_signalled = false;
}

DWORD Event::wait(DWORD milliseconds) {
  std::unique_lock lock(m_mutex);
  auto isSet = [this] { return m_signalled; };
  if (milliseconds == INFINITE)
    m_changed.wait(lock, isSet);
  else if (!m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), isSet))
    return WAIT_TIMEOUT;
  if (!m_manualReset) m_signalled = false;
  return WAIT_OBJECT_0;
}

bool Thread::start(std::function<void()> body) {
  if (m_thread.joinable() || !body) return false;
  m_done = std::make_shared<Done>();
  std::shared_ptr<Done> done = m_done;
  try {
    m_thread = std::thread([body = std::move(body), done] {
      body();
      std::lock_guard lock(done->mutex);
      done->flag = true;
      done->cv.notify_all();
    });
  } catch (const std::system_error&) {
    return false;  // out of threads: the caller reports it like any failure
  }
  return true;
}

DWORD Thread::wait(DWORD milliseconds) {
  if (!m_thread.joinable()) return WAIT_OBJECT_0;
  // A thread cannot wait for itself to end; callers on it get a timeout.
  if (isCurrent()) return WAIT_TIMEOUT;
  if (milliseconds != INFINITE) {
    std::unique_lock lock(m_done->mutex);
    if (!m_done->cv.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_done->flag.load(); }))
      return WAIT_TIMEOUT;
  }
  m_thread.join();
  return WAIT_OBJECT_0;
}
