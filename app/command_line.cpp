#include "app/command_line.h"

std::vector<std::string> splitCommandLine(const char* line) {
  std::vector<std::string> arguments;
  if (!line) return arguments;
  const char* p = line;
  for (;;) {
    while (*p == ' ' || *p == '\t') ++p;
    if (!*p) break;
    std::string argument;
    bool quoted = false;
    for (; *p && (quoted || (*p != ' ' && *p != '\t')); ++p) {
      std::size_t backslashes = 0;
      while (*p == '\\') ++backslashes, ++p;
      if (*p == '"') {
        argument.append(backslashes / 2, '\\');
        if (backslashes % 2) {
          argument += '"';
        } else {
          quoted = !quoted;
        }
        continue;
      }
      argument.append(backslashes, '\\');
      if (!*p) break;
      if (!quoted && (*p == ' ' || *p == '\t')) break;
      argument += *p;
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string programName(const char* line) {
  const std::vector<std::string> arguments = splitCommandLine(line);
  if (arguments.empty()) return {};
  std::string name = arguments[0];
  const std::size_t folder = name.find_last_of("/\\");
  if (folder != std::string::npos) name.erase(0, folder + 1);
  const std::size_t extension = name.find_last_of('.');
  if (extension != std::string::npos && extension > 0) name.erase(extension);
  return name;
}
