// The log's text encoding on Windows: UTF-8.
#pragma once

namespace tarnwick {

// Installs UTF-8 for the escaping of log fields, whatever the system's ANSI code page.
void UseSystemLogText();

}  // namespace tarnwick
