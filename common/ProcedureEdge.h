// Window and dialog procedures stop every exception at their edge: Windows cannot unwind C++ frames.
#pragma once
#include <string>
#include <string_view>

namespace tarnwick {

// What the exception now being handled says; call it only inside a catch block.
std::string DescribeCurrentException();

// Where a stopped exception is told; the Windows program hands in OutputDebugStringA, so a debugger
// or DebugView shows it. Nothing is told until one is set.
using ExceptionReporter = void (*)(const std::string& message);
void SetExceptionReporter(ExceptionReporter reporter);

// Tells the reporter which procedure stopped which exception; call it only inside a catch block.
void ReportStoppedException(std::string_view procedure) noexcept;

// Runs a procedure's handler. Any exception it throws is reported and the message is then treated as
// unhandled: the result is unhandled()'s (DefWindowProc, FALSE for a dialog, the saved procedure).
template <typename Handler, typename Unhandled>
auto StopExceptions(std::string_view procedure, Handler&& handler, Unhandled&& unhandled) noexcept
    -> decltype(handler()) {
  try {
    return handler();
  } catch (...) {
    ReportStoppedException(procedure);
  }
  return unhandled();
}

}  // namespace tarnwick
