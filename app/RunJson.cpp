// JSON objects of the run's start, records and end, made from the same entries as the log's lines.
#include "app/RunJson.h"

#include <cstdio>

#include "process/Json.h"
#include "process/Scope.h"

namespace tarnwick {
namespace {

// Days since 1970-01-01 of a date of the Gregorian calendar.
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long long>(doe) - 719468;
}

std::string FormatUtcMs(long long ms) {
  long long days = ms / 86400000;
  long long rest = ms % 86400000;
  if (rest < 0) rest += 86400000, --days;
  // The date of a day count (the inverse of DaysFromCivil).
  const long long z = days + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = static_cast<long long>(yoe) + era * 400 + (m <= 2);
  char text[40];
  std::snprintf(text, sizeof(text), "%04lld-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", y, m, d, rest / 3600000,
                rest / 60000 % 60, rest / 1000 % 60, rest % 1000);
  return text;
}

std::string_view ModeOf(std::string_view source) {
  if (source == "-a") return "auto";
  if (source == "-k") return "kill";
  if (source == "-l") return "list";
  return "terminate";
}

std::string Detail(const RecordText& text) { return text.Why.empty() ? text.What : text.What + ": " + text.Why; }

JsonObject Common(const RunEntry& e, std::string_view type) {
  JsonObject object;
  object.Number("tarnwick", kJsonFormat)
      .Text("run", e.Run != nullptr ? e.Run->RunId : "")
      .Text("type", type)
      .Text("time", FormatUtcTime(e.Time))
      .Text("mode", ModeOf(e.Source));
  return object;
}

JsonObject& Optional(JsonObject& object, std::string_view key, long long value, bool known) {
  return known ? object.Number(key, value) : object.Null(key);
}

JsonObject OptionsOf(const RunOptions* options) {
  const RunOptions none;
  const RunOptions& o = options != nullptr ? *options : none;
  JsonObject object;
  const auto seconds = [&](std::string_view key, const std::optional<std::uint32_t>& ms) {
    if (ms) {
      object.Seconds(key, *ms);
    } else {
      object.Null(key);
    }
  };
  seconds("grace", o.GraceMs);
  seconds("wait", o.ProcessWaitMs);
  seconds("service", o.ServiceWaitMs);
  seconds("limit", o.RunMs);
  object.Bool("json", o.Json).Bool("whatIf", o.WhatIf);
  return object;
}

std::string StartLine(const RunEntry& e) {
  const RunInfo& run = *e.Run;
  JsonObject object = Common(e, "start");
  object.Text("version", run.Version).Number("bitness", run.Bitness);
  Optional(object, "pid", run.OwnId, run.OwnId != 0);
  Optional(object, "session", run.OwnSession, run.OwnSession != kUnknownSession);
  object.Bool("elevated", run.Elevated)
      .TextOrNull("path", Utf8(run.ExePath))
      .TextOrNull("scope", e.Options != nullptr ? Utf8(e.Options->Folder) : "")
      .Object("options", OptionsOf(e.Options))
      .Text("detail", "run started" + (e.Note.empty() ? "" : ": " + e.Note));
  return object.Done();
}

std::string RecordLine(const RunEntry& e) {
  const EndRecord& r = *e.Record;
  const RecordTokens tokens = TokensOf(r);
  JsonObject object = Common(e, tokens.Type);
  object.TextOrNull("image", r.Image);
  Optional(object, "pid", r.Id, r.Id != 0);
  Optional(object, "session", r.Session, r.Session != kUnknownSession && r.Id != 0);
  object.TextOrNull("created", FormatFileTime(r.Created)).TextOrNull("path", Utf8(r.Path));
  if (tokens.Type == "service") {
    object.TextOrNull("service", r.Service).Texts("dependents", r.Names);
  } else if (tokens.Type == "holder") {
    // How it holds the folder: the log's word, but for a view ("mappedView").
    object.TextOrNull("holds", r.Held == HoldWay::Mapped ? "mappedView" : HoldWayName(r.Held))
        .TextOrNull("file", Utf8(r.HeldPath));
    Optional(object, "moreHeld", r.HeldCount, r.HeldCount != 0);
  } else {
    const bool named =
        r.Result == EndResult::Listed || r.Result == EndResult::SharedHost || r.Result == EndResult::WouldEnd;
    object.Texts("services", named ? r.Names : std::vector<std::string>{}).Bool("hasWindows", r.HasWindows);
  }
  object.Text("outcome", tokens.Outcome).TextOrNull("reason", tokens.Reason);
  Optional(object, "error", r.Error, r.Error != 0);
  if (r.Result == EndResult::KeptComingBack) object.Number("timesEnded", r.TimesEnded);
  object.Text("detail", Detail(DescribeRecord(r))).Seconds("seconds", r.WaitedMs);
  return object.Done();
}

std::string_view EndOutcome(const RunEntry& e) {
  switch (e.Refused) {
    case Refusal::AnotherRuns:
      return "anotherRuns";
    case Refusal::Untrusted:
      return "untrusted";
    case Refusal::BadCommandLine:
      return "badCommandLine";
    case Refusal::ListUnread:
      return "listUnread";
    case Refusal::None:
      break;
  }
  if (e.ExitCode == 0) return "done";
  return e.Source == "-l" ? "running" : "notAll";
}

std::string EndLine(const RunEntry& e) {
  JsonObject counts;
  const char* kCounted[] = {"ended",          "closed", "forced",  "notEnded",  "stillRunning",
                            "keptComingBack", "listed", "stopped", "notStopped"};
  for (const char* outcome : kCounted) {
    long long n = 0;
    if (e.Records != nullptr) {
      for (const EndRecord& record : *e.Records) n += TokensOf(record).Outcome == outcome;
    }
    counts.Number(outcome, n);
  }
  JsonObject object = Common(e, "end");
  object.Number("exit", e.ExitCode)
      .Seconds("seconds", e.Ms)
      .Text("outcome", EndOutcome(e))
      .Object("counts", counts)
      .Text("detail", e.Note.empty() ? "run ended" : e.Note + "; nothing was done");
  return object.Done();
}

}  // namespace

std::string FormatUtcTime(const LocalTime& t) {
  const long long days = DaysFromCivil(t.Year, static_cast<unsigned>(t.Month), static_cast<unsigned>(t.Day));
  const long long minutes = days * 1440 + t.Hour * 60LL + t.Minute - t.UtcOffsetMinutes;
  return FormatUtcMs((minutes * 60 + t.Second) * 1000 + t.Millisecond);
}

std::string FormatFileTime(std::uint64_t ticks) {
  if (ticks == 0) return {};
  constexpr long long kMsFrom1601To1970 = 11644473600000LL;
  return FormatUtcMs(static_cast<long long>(ticks / 10000) - kMsFrom1601To1970);
}

RecordTokens TokensOf(const EndRecord& r) {
  const auto process = [](std::string_view outcome, std::string_view reason = {}) {
    return RecordTokens{"process", outcome, reason};
  };
  const auto service = [](std::string_view outcome, std::string_view reason = {}) {
    return RecordTokens{"service", outcome, reason};
  };
  switch (r.Result) {
    case EndResult::Ended:
      if (r.Way == EndWay::Closed) return process("closed");
      if (r.Way == EndWay::Forced) {
        return process("forced", r.Why == ForceReason::Refused    ? "refused"
                                 : r.Why == ForceReason::NoAnswer ? "noAnswer"
                                                                  : "notInTime");
      }
      return process("ended");
    case EndResult::NotOpened:
      return process("notEnded", "notOpened");
    case EndResult::Critical:
      return process("notEnded", "critical");
    case EndResult::Refused:
      return process("notEnded", "refusedByWindows");
    case EndResult::SharedHost:
      return process("notEnded", "sharedServiceHost");
    case EndResult::StillRunning:
      return process("stillRunning", "waitOver");
    case EndResult::LeftAtLimit:
      return process("stillRunning", "timeLimit");
    case EndResult::KeptComingBack:
      return process("keptComingBack", "timeLimit");
    case EndResult::Listed:
      return process("listed");
    case EndResult::ListedNotOpened:
      return process("listed", "notOpened");
    case EndResult::ServiceStopped:
      return service("stopped");
    case EndResult::ServiceForced:
      return service("forced", r.Error == 1053 ? "noAnswer" : "notInTime");
    case EndResult::ServiceNotStopped:
      return service("notStopped", r.Error != 0 ? "error" : "notInTime");
    case EndResult::WouldEnd:
      return process(!r.Names.empty() ? "wouldStopServices" : r.HasWindows ? "wouldClose" : "wouldEnd");
    case EndResult::ServicesNotAsked:
      return service("notAsked", "serviceManager");
    case EndResult::Holds:
      return {"holder", "holds"};
    case EndResult::AncestorHolds:
      return {"holder", "holds", "starter"};
    case EndResult::NamesGivenUp:
      return {"holder", "namesNotRead", "timeLimit"};
    case EndResult::NotInspected:
      return process("notInspected", r.Error != 0 ? "error" : "otherBitness");
    case EndResult::OnlyOutside:
      return process("noneInFolder");
    case EndResult::CameBack:
      return process("cameBack");
    case EndResult::WillRestart:
      return service("willRestart", "recoveryActions");
  }
  return process("unknown");
}

std::string JsonLine(const RunEntry& e) {
  switch (e.Kind) {
    case RunEntryKind::Start:
      return StartLine(e);
    case RunEntryKind::Record:
      return RecordLine(e);
    case RunEntryKind::End:
      break;
  }
  return EndLine(e);
}

}  // namespace tarnwick
