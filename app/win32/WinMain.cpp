// The Windows program entry.
#include "app/uFormMain.h"
#include "rtl/win32/WinApi.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return RunProgram(); }
