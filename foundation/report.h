// How every subsystem reports an error or a failed assertion, and the trace
// log. The relay server's threads report too, so the globals are safe to use
// from any thread: the flags are atomic, and the last message and the log
// are serialised by one mutex.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>

#include "foundation/engine_string.h"

// Errors are reported at level 1 or more; assertions are checked at 3 or more.
extern std::atomic<int> g_messageLevel;
// false: each report shows a message box; true: it replaces g_lastMessage.
extern std::atomic<bool> g_logMessages;

// The most recent report. Every access takes the reporting mutex.
class LastMessage {
 public:
  EngineString get() const;
  void set(const char* text);
  void clear() { set(""); }
  bool empty() const;
};
extern LastMessage g_lastMessage;

// The trace stream. It starts on "nul", the null device: traces go nowhere
// unless a developer points it at a file. Writes take the reporting mutex.
class LogStream {
 public:
  explicit LogStream(const char* path);
  ~LogStream();
  LogStream(const LogStream&) = delete;
  LogStream& operator=(const LogStream&) = delete;

  // Reopens the stream on `path` ("nul" is the null device). Returns false
  // and keeps the old stream when the file cannot be opened.
  bool open(const char* path);
  void write(const char* text);
  void line(const char* text);  // text and a line feed, then a flush
  void printf(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void flush();

 private:
  std::FILE* m_file = nullptr;
};
extern LogStream g_log;

// The error rule: formats the message and, at level 1 or more, stores it or
// shows it in a box titled "Error". The caller then fails in its own way.
void reportError(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Input refused or repaired (a file's value out of range, a picture that
// does not decode): the text, trailing line feeds dropped, as one line of
// the trace, which keeps it when later reports replace the last message;
// then reportError with the text as given.
void reportRefusal(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// The assertion rule for a failed condition: the message is the text between
// the first and the last double quote of the expression.
void reportAssertion(const char* expressionText);

// Checks `condition` only at level 3 or more; reports it when it fails.
// Execution always goes on.
#define ENGINE_ASSERT(condition)                                                 \
  do {                                                                           \
    if (g_messageLevel.load() >= 3 && !(condition)) reportAssertion(#condition); \
  } while (0)
