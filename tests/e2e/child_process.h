// A program started by a test with its input and output on pipes, an
// environment of the test's choosing, and bounded waits.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

class ChildProcess {
 public:
  // `environment` entries replace or add variables of this process's;
  // those named in `unset` are left out. The child starts in `directory`
  // (empty: this process's).
  ChildProcess(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment = {},
               const std::vector<std::string>& unset = {}, const std::string& directory = {}) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry = *e;
      const std::string name = entry.substr(0, entry.find('='));
      if (!environment.count(name) && std::find(unset.begin(), unset.end(), name) == unset.end()) env.push_back(entry);
    }
    for (const auto& [name, value] : environment) env.push_back(name + "=" + value);
    std::vector<char*> argv, envp;
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    m_in = in[1];
    m_out = out[0];
  }
  ~ChildProcess() {
    closeInput();
    if (m_out >= 0) ::close(m_out);
    if (m_pid > 0 && !m_status) {
      ::kill(m_pid, SIGKILL);
      ::waitpid(m_pid, nullptr, 0);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return m_pid > 0; }
  pid_t pid() const { return m_pid; }
  void closeInput() {
    if (m_in >= 0) ::close(m_in);
    m_in = -1;
  }
  // One line of the child's output without its line feed; empty after the
  // timeout or at the end of its output.
  std::string readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    std::string line;
    while (std::chrono::steady_clock::now() < end) {
      pollfd p{m_out, POLLIN, 0};
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (::poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) break;
      char c = 0;
      if (::read(m_out, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }
  // The exit status once the child ended within the timeout (-1 when it
  // did not end normally).
  std::optional<int> wait(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!m_status) {
      siginfo_t ended{};
      if (::waitid(P_PID, static_cast<id_t>(m_pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == m_pid)
        m_queued = runQueueWait();
      int status = 0;
      const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
      if (done == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        break;
      }
      if (std::chrono::steady_clock::now() >= end) break;
      ::usleep(5000);
    }
    return m_status;
  }
  // How long the child's main thread stood ready in the run queue while
  // other processes held the cores, read once it ended: its wall time less
  // this is what it spent running or waiting on its own account.
  std::chrono::nanoseconds queued() const { return m_queued; }
  void kill() {
    ::kill(m_pid, SIGKILL);
    wait(std::chrono::seconds(10));
  }
  // Asks the child to end; kills it when it has not within `grace`.
  void terminate(std::chrono::milliseconds grace = std::chrono::seconds(5)) {
    if (m_pid <= 0 || m_status) return;
    ::kill(m_pid, SIGTERM);
    if (!wait(grace)) kill();
  }

 private:
  // The second field of the kernel's scheduler statistics, readable until
  // the ended child is reaped.
  std::chrono::nanoseconds runQueueWait() const {
    const std::string path = "/proc/" + std::to_string(m_pid) + "/schedstat";
    long long running = 0, waiting = 0;
    FILE* stats = std::fopen(path.c_str(), "r");
    if (!stats) return {};
    const bool read = std::fscanf(stats, "%lld %lld", &running, &waiting) == 2;
    std::fclose(stats);
    return std::chrono::nanoseconds(read ? waiting : 0);
  }

  pid_t m_pid = -1;
  int m_in = -1, m_out = -1;
  std::optional<int> m_status;
  std::chrono::nanoseconds m_queued{0};
};
