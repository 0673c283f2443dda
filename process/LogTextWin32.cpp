// The log's fields are UTF-8: names reach it from UTF-16 without the code page, so none turns into another.
#include "process/LogTextWin32.h"

#include "process/LogText.h"

namespace tarnwick {

void UseSystemLogText() {
  LogTextEncoding encoding;
  encoding.Utf8 = true;
  SetLogTextEncoding(encoding);
}

}  // namespace tarnwick
