// The game's executable: everything happens in WinMain.
#include "app/entry_point.h"
#include "platform/system/process.h"

int main() { return WinMain(nullptr, nullptr, const_cast<char*>(GetCommandLineA()), SW_SHOWNORMAL); }
