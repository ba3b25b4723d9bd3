// The smallest Win32 program, built with the installer's flags: the
// baseline of the start-up benchmark.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) { return 0; }
