// The log's text encoding: UTF-8, the program's one form of text, whatever the system's code page.
#pragma once

namespace tarnwick {

// Installs UTF-8 for the escaping of log fields.
void UseSystemLogText();

}  // namespace tarnwick
