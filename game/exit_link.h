// The link the exit screen chose; the entry point opens it with the shell
// after the menu loop has ended, when it is not empty.
#pragma once

#include <string>

extern std::string g_exitLink;
