// Entry point of Norvalisk.exe.
#include <windows.h>

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  return RunNorvalisk(instance, showCommand);
}
