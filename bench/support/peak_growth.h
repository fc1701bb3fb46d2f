// How far a child process's peak resident set (getrusage) rises while a
// piece of work runs in it, for the memory benchmarks. Build them in
// Release: the sanitizer's shadow memory would count too.
#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

inline long long peakResidentBytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return static_cast<long long>(usage.ru_maxrss) * 1024;
}

// The rise of a child's peak resident set while `work` runs; -1 when the
// child did not report. What the parent holds (a file read beforehand) is
// the child's from the start and does not count.
inline long long peakGrowthOf(const std::function<void()>& work) {
  int channel[2];
  if (::pipe(channel) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(channel[0]);
    const long long before = peakResidentBytes();
    work();
    const long long growth = peakResidentBytes() - before;
    ::_exit(::write(channel[1], &growth, sizeof growth) == sizeof growth ? 0 : 1);
  }
  ::close(channel[1]);
  long long growth = -1;
  if (::read(channel[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  ::close(channel[0]);
  ::waitpid(child, nullptr, 0);
  return growth;
}
