// A process that only waits: copied under a listed image name, it is what Tarnwick must find and end.
#include <windows.h>

int main() {
  Sleep(INFINITE);
  return 0;
}
