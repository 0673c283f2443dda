// The log's text encoding as this system has it: its ANSI code page, which may be UTF-8.
#pragma once

namespace tarnwick {

// Installs the encoding of the system's ANSI code page for the escaping of log fields.
void UseSystemLogText();

}  // namespace tarnwick
