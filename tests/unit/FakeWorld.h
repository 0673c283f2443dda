// The world a run meets in the unit tests: a fake clock, a process table and a service manager over it,
// the seams that hand them to the pipeline, and a sink that keeps the lines a run writes.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "app/EndRun.h"
#include "process/EndPipeline.h"
#include "tests/unit/FakeProcessApi.h"
#include "tests/unit/FakeServiceApi.h"

namespace tarnwick::test {

struct FakeWorld {
  FakeClock clock;
  FakeProcessApi processes;
  FakeServiceApi services{processes, clock};
  EndSeams seams{processes, services, clock};

  std::vector<EndRecord> Run(EndMode mode, const std::vector<std::string>& images, KeepAlive keepAlive = {},
                             std::uint32_t runMs = EndLimits().RunMs, bool whatIf = false) {
    EndRequest request;
    request.Images = images;
    request.Mode = mode;
    request.Limits.RunMs = runMs;
    request.WhatIf = whatIf;
    request.WhileWaiting = std::move(keepAlive);
    return EndProcesses(seams, request);
  }
};

// The lines of a run as written, and without their first field (the time).
struct KeptLines : LineSink {
  std::vector<std::string> All;
  std::vector<std::string> Untimed;
  void WriteLine(const std::string& line) override {
    All.push_back(line);
    Untimed.push_back(line.substr(line.find('\t') + 1));
  }
  void Clear() { All.clear(), Untimed.clear(); }
};

}  // namespace tarnwick::test
