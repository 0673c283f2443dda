// The one way the program reaches system functions that older Windows versions lack.
#pragma once
#include <windows.h>

namespace tarnwick {

// The function `name` of the system DLL `module`, which the program has loaded already (user32.dll,
// kernel32.dll, ntdll.dll); nullptr where this Windows lacks it.
template <typename Function>
Function SystemFunction(const char* module, const char* name) {
  HMODULE dll = GetModuleHandleA(module);
  if (dll == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

}  // namespace tarnwick
