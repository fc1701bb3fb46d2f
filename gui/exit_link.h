// The link the exit screen chose; the entry point opens it with the shell
// after the menu loop has ended, when it is not empty.
#pragma once

#include <string>

extern std::string g_exitLink;

// Hands a web link to the desktop. Anything else, or a desktop that cannot
// open it, is skipped with a line on stderr (the log is closed by then).
// Nothing for an empty link. True once the opener started.
bool openExitLink(const std::string& link);
