// The log's fields are UTF-8: names reach it from UTF-16 without the code page, so none turns into another.
#include "process/LogTextWin32.h"

#include "process/LogText.h"

namespace tarnwick {

// Names and paths are UTF-8 inside the program, so the log is too; escaping by the ANSI code page would
// split a path's characters (the Ł of Łódź is C5 81, and 81 is a control in code page 1252).
void UseSystemLogText() {
  LogTextEncoding encoding;
  encoding.Utf8 = true;
  SetLogTextEncoding(encoding);
}

}  // namespace tarnwick
