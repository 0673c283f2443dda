// Reporting an exception that a window or dialog procedure stopped.
#include "common/ProcedureEdge.h"

#include <exception>

namespace tarnwick {
namespace {

ExceptionReporter gReporter = nullptr;

}  // namespace

std::string DescribeCurrentException() {
  try {
    throw;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "an exception that is no std::exception";
  }
}

void SetExceptionReporter(ExceptionReporter reporter) { gReporter = reporter; }

void ReportStoppedException(std::string_view procedure) noexcept {
  try {
    if (gReporter != nullptr)
      gReporter("Tarnwick: " + std::string(procedure) + " stopped " + DescribeCurrentException());
  } catch (...) {
    // Out of memory while telling it: the message is still treated as unhandled.
  }
}

}  // namespace tarnwick
