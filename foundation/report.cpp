#include "foundation/report.h"

#include <cstdarg>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/system/system.h"

namespace {

std::mutex& reportMutex() {
  static std::mutex mutex;
  return mutex;
}

EngineString& lastMessageText() {
  static EngineString text;
  return text;
}

std::FILE* openLogFile(const char* path) {
  if (!path) return nullptr;
  if (std::strcmp(path, "nul") == 0 || std::strcmp(path, "NUL") == 0) path = "/dev/null";
  return std::fopen(path, "w");
}

}  // namespace

std::atomic<int> g_messageLevel{0};
std::atomic<bool> g_logMessages{false};
LastMessage g_lastMessage;
LogStream g_log("nul");

namespace {
// The platform layer's lines (shader logs, GL errors) join the trace log.
[[maybe_unused]] const bool g_platformLogInstalled = (setLogHook([](const char* text) { g_log.line(text); }), true);
}  // namespace

EngineString LastMessage::get() const {
  std::lock_guard lock(reportMutex());
  return lastMessageText();
}

void LastMessage::set(const char* text) {
  std::lock_guard lock(reportMutex());
  lastMessageText().assign(text);
}

bool LastMessage::empty() const {
  std::lock_guard lock(reportMutex());
  return lastMessageText().empty();
}

LogStream::LogStream(const char* path) : m_file(openLogFile(path)) {}

LogStream::~LogStream() {
  if (m_file) std::fclose(m_file);
}

bool LogStream::open(const char* path) {
  std::FILE* file = openLogFile(path);
  if (!file) return false;
  std::lock_guard lock(reportMutex());
  if (m_file) std::fclose(m_file);
  m_file = file;
  return true;
}

void LogStream::write(const char* text) {
  std::lock_guard lock(reportMutex());
  if (m_file && text) std::fputs(text, m_file);
}

void LogStream::line(const char* text) {
  std::lock_guard lock(reportMutex());
  if (!m_file) return;
  std::fputs(text ? text : "", m_file);
  std::fputc('\n', m_file);
  std::fflush(m_file);
}

void LogStream::printf(const char* fmt, ...) {
  std::lock_guard lock(reportMutex());
  if (!m_file) return;
  va_list args;
  va_start(args, fmt);
  std::vfprintf(m_file, fmt, args);
  va_end(args);
}

void LogStream::flush() {
  std::lock_guard lock(reportMutex());
  if (m_file) std::fflush(m_file);
}

void reportError(const char* fmt, ...) {
  if (g_messageLevel.load() < 1) return;
  va_list args;
  va_start(args, fmt);
  const EngineString text = EngineString::formatV(fmt, args);
  va_end(args);

  if (g_logMessages.load())
    g_lastMessage.set(text.c_str());
  else
    MessageBoxA(nullptr, text.c_str(), "Error", MB_ICONEXCLAMATION);
}

void reportRefusal(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const EngineString text = EngineString::formatV(fmt, args);
  va_end(args);
  std::string line = text.c_str();
  while (!line.empty() && line.back() == '\n') line.pop_back();
  g_log.line(line.c_str());
  reportError("%s", text.c_str());
}

void reportAssertion(const char* expressionText) {
  if (g_messageLevel.load() < 3) return;
  if (g_logMessages.load()) {
    g_lastMessage.set(EngineString::between(expressionText, '"', '"', nullptr).c_str());
  } else {
    const EngineString message = EngineString::between(expressionText, '"', '"', "- internal error -");
    MessageBoxA(nullptr, message.c_str(), "Assertion failed", MB_ICONEXCLAMATION);
  }
}
