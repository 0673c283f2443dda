// A program that holds a path one way and then waits, for the holder search's tests: "module PATH" loads
// a DLL, "file PATH" keeps a file open, "folder PATH" sits in a folder as its current one, "mapped PATH"
// maps a view of a file and closes its handles; "none" holds nothing beyond its own program file.
#include <windows.h>

#include <cstring>

// Kept for as long as the program runs: holding them is its purpose.
HMODULE gModule = nullptr;
HANDLE gFile = nullptr;
const void* gView = nullptr;

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  const char* how = argv[1];
  const char* path = argc > 2 ? argv[2] : "";
  if (std::strcmp(how, "module") == 0) {
    gModule = LoadLibraryA(path);
    if (gModule == nullptr) return 2;
  } else if (std::strcmp(how, "file") == 0) {
    gFile = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (gFile == INVALID_HANDLE_VALUE) return 2;
  } else if (std::strcmp(how, "folder") == 0) {
    if (!SetCurrentDirectoryA(path)) return 2;
  } else if (std::strcmp(how, "mapped") == 0) {
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE mapping =
        file != INVALID_HANDLE_VALUE ? CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr) : nullptr;
    gView = mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0) : nullptr;
    if (gView == nullptr) return 2;
    CloseHandle(mapping);
    CloseHandle(file);
  }
  // Out of the folder unless sitting in it is the point: the test's own folder would hold it otherwise.
  if (std::strcmp(how, "folder") != 0) SetCurrentDirectoryA("C:\\");
  Sleep(INFINITE);
  return 0;
}
