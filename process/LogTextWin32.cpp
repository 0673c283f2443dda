// The log's text encoding on Windows: UTF-8, whatever the ANSI code page.
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
