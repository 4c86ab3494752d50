// TavoSetup: the setup launcher's entry point. For now it only confirms that it
// carries the worker program (resource 301); the launcher proper replaces it.
#include <windows.h>

#include "resources/resource_ids.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  HRSRC worker = FindResourceW(instance, MAKEINTRESOURCEW(TAVO_RESOURCE_WORKER), RT_RCDATA);
  if (!worker || SizeofResource(instance, worker) == 0) return ERROR_RESOURCE_DATA_NOT_FOUND;
  return 0;
}
