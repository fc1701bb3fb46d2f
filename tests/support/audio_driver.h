// Sets SDL_AUDIODRIVER (or unsets it for nullptr) for one test and puts the
// old value back.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

class AudioDriver {
 public:
  explicit AudioDriver(const char* driver) {
    if (const char* old = std::getenv("SDL_AUDIODRIVER")) m_old = old;
    set(driver);
  }
  ~AudioDriver() { set(m_old ? m_old->c_str() : nullptr); }
  AudioDriver(const AudioDriver&) = delete;
  AudioDriver& operator=(const AudioDriver&) = delete;

 private:
  static void set(const char* driver) {
    if (driver)
      setenv("SDL_AUDIODRIVER", driver, 1);
    else
      unsetenv("SDL_AUDIODRIVER");
  }
  std::optional<std::string> m_old;
};
