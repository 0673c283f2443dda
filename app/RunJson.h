// The JSON Lines view of a run's entries ("/json"): one object a line, keys that never change, tokens
// for what happened and a sentence for people beside them.
#pragma once
#include <string>
#include <string_view>

#include "app/EndRun.h"

namespace tarnwick {

// The format's version in every object ("tarnwick": 1): it changes only where a reader must change.
inline constexpr int kJsonFormat = 1;

// "2024-05-06T00:00:01.015Z": a local time as UTC, to the millisecond.
std::string FormatUtcTime(const LocalTime& time);
// The same for a moment in 100 ns ticks since 1601 (a Windows FILETIME); empty for 0.
std::string FormatFileTime(std::uint64_t ticks);

// The tokens of a record: what happened ("ended", "forced", "notEnded", "listed", "stopped", ...) and
// why, where there is a reason ("critical", "notInTime", ...; empty where there is none).
struct RecordTokens {
  std::string_view Type;  // "process", "service" or "holder"
  std::string_view Outcome;
  std::string_view Reason;
};
RecordTokens TokensOf(const EndRecord& record);

// One JSON object, without its line break.
std::string JsonLine(const RunEntry& entry);

}  // namespace tarnwick
