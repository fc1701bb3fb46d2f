// The program's command line read back into arguments, by the rules the
// system writes it with (platform/system/process.h).
#pragma once

#include <string>
#include <vector>

std::vector<std::string> splitCommandLine(const char* line);
// The first argument without its folder and extension ("tessaline").
std::string programName(const char* line);
