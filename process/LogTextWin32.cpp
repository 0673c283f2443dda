// Which bytes of the ANSI code page start a double-byte character or stand for a control, for the log.
#include "process/LogTextWin32.h"

#include <windows.h>

#include "process/LogText.h"

namespace tarnwick {

void UseSystemLogText() {
  LogTextEncoding encoding;
  encoding.Utf8 = GetACP() == CP_UTF8;
  for (int value = 0; value < 256; ++value) {
    const auto byte = static_cast<unsigned char>(value);
    AnsiByte kind = AnsiByte::Plain;
    if (IsDBCSLeadByteEx(CP_ACP, byte)) {
      kind = AnsiByte::Lead;
    } else {
      // A byte the code page leaves undefined is escaped too: what shows the line may read anything into it.
      wchar_t wide = 0;
      const char text = static_cast<char>(byte);
      const bool defined = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &text, 1, &wide, 1) == 1;
      if (!defined || IsUnsafeCodePoint(wide)) kind = AnsiByte::Control;
    }
    encoding.Bytes[byte] = kind;
  }
  SetLogTextEncoding(encoding);
}

}  // namespace tarnwick
