// Services in the ending pipeline, over a fake service manager: stopped through it before their process
// is ended, dependents first; forced only after the wait; shared hosts never; and what each step records.
#include "process/ServiceStop.h"

#include <gtest/gtest.h>

#include "tests/unit/FakeProcessApi.h"
#include "tests/unit/FakeServiceApi.h"

namespace tarnwick {
namespace {

using test::FakeClock;
using test::FakeProcessApi;
using test::FakeService;
using test::FakeServiceApi;
using R = EndResult;

struct World {
  FakeClock clock;
  FakeProcessApi processes;
  FakeServiceApi services{processes, clock};
  EndSeams seams{processes, services, clock};

  // A service of its own in a process of the image.
  FakeService& AddService(const std::string& name, ProcessId pid, const std::string& image) {
    processes.Add(pid, "C:\\Vex\\" + image);
    return services.Add(name, pid);
  }
  std::vector<EndRecord> Run(EndMode mode, const std::vector<std::string>& images = {"Vex.exe"}) {
    EndRequest request;
    request.Images = images;
    request.Mode = mode;
    start = clock.Now;
    return EndProcesses(seams, request);
  }
  std::uint64_t Took() const { return clock.Now - start; }
  std::uint64_t start = 0;
};

std::vector<std::string> Texts(const std::vector<EndRecord>& records) {
  std::vector<std::string> texts;
  for (const EndRecord& r : records) {
    const RecordText text = DescribeRecord(r);
    texts.push_back(r.Image + " " + std::to_string(r.Id) + " " + text.What + (text.Why.empty() ? "" : ": " + text.Why));
  }
  return texts;
}

TEST(ServiceStop, ACooperativeServiceIsStoppedAfterItsDependentsAndItsProcessIsNeverForced) {
  World world;
  world.AddService("VexEngine", 10, "Vex.exe");
  world.AddService("VexGateway", 20, "QuilListener.exe").Dependencies = {"vexengine"};
  world.AddService("VexPanel", 30, "Tallyboard.exe").Dependencies = {"VexGateway", "VexSql"};  // needs it indirectly
  world.AddService("VexOpc", 40, "VexOPC.exe").Dependencies = {"+VexGroup"};
  world.services.Services[0].Group = "VexGroup";
  world.AddService("Unrelated", 50, "Other.exe").Dependencies = {"Elsewhere"};
  world.AddService("VexSql", 60, "VexSQL.exe");

  // Each service is asked once, even where it is a dependent of two, or listed itself.
  const std::vector<EndRecord> records = world.Run(EndMode::OnePerImage, {"Vex.exe", "VexOPC.exe", "VexSQL.exe"});
  EXPECT_EQ(world.services.StopRequests,
            (std::vector<std::string>{"VexPanel", "VexGateway", "VexOpc", "VexEngine", "VexSql"}));
  EXPECT_EQ(Texts(records),
            (std::vector<std::string>{
                "Tallyboard.exe 30 service VexPanel: stopped",
                "QuilListener.exe 20 service VexGateway: stopped",
                "VexOPC.exe 40 service VexOpc: stopped",
                "Vex.exe 10 service VexEngine: stopped: its dependents first: VexPanel, VexGateway, VexOpc",
                "Vex.exe 10 ended",
                "VexOPC.exe 40 ended",
                "VexSQL.exe 60 service VexSql: stopped",
                "VexSQL.exe 60 ended",
            }));
  EXPECT_TRUE(world.processes.Terminated.empty());
  EXPECT_EQ(world.services.UnexpectedEnds, 0);  // no "terminated unexpectedly", so no recovery
  EXPECT_EQ(EndExitCode(EndMode::OnePerImage, records), 0);
  EXPECT_EQ(world.Took(), 5 * 300u);
}

TEST(ServiceStop, WhenToGiveUpAndForce) {
  struct Case {
    const char* name;
    FakeService::OnStop behaviour;
    std::uint32_t stopError;
    bool processStays;
    std::vector<std::string> texts;
    std::uint64_t tookMs;
  };
  using Stop = FakeService::OnStop;
  const Case cases[] = {
      {"ignores the request: forced at the cap",
       Stop::Ignores,
       0,
       false,
       {"Vex.exe 10 service VexEngine: forced after 20.0 s: it did not stop in time", "Vex.exe 10 ended"},
       20000},
      {"stop pending without progress: forced once its wait hint has passed",
       Stop::Hangs,
       0,
       false,
       {"Vex.exe 10 service VexEngine: forced after 1.1 s: it did not stop in time", "Vex.exe 10 ended"},
       1100},
      {"the stop may not be asked: ended as any process",
       Stop::Stops,
       kErrorAccessDenied,
       false,
       {"Vex.exe 10 service VexEngine: could not stop: access denied: start Tarnwick as administrator",
        "Vex.exe 10 ended"},
       0},
      {"stopped, but the process lingers: ended after the process wait",
       Stop::Stops,
       0,
       true,
       {"Vex.exe 10 service VexEngine: stopped", "Vex.exe 10 ended: forced after 5.0 s"},
       5300},
  };
  for (const Case& c : cases) {
    World world;
    FakeService& service = world.AddService("VexEngine", 10, "Vex.exe");
    service.Behaviour = c.behaviour;
    service.StopError = c.stopError;
    service.ProcessStaysAfterStop = c.processStays;
    const std::vector<EndRecord> records = world.Run(EndMode::OnePerImage);
    EXPECT_EQ(Texts(records), c.texts) << c.name;
    EXPECT_EQ(world.Took(), c.tookMs) << c.name;
    EXPECT_EQ(world.processes.Terminated, std::vector<ProcessId>{10}) << c.name;
    EXPECT_EQ(EndExitCode(EndMode::OnePerImage, records), 0) << c.name;  // the process is gone
  }
}

TEST(ServiceStop, AStubbornServiceThatRecoversKeepsKillBusyUntilItsLimit) {
  World world;
  FakeService& service = world.AddService("VexEngine", 10, "Vex.exe");
  service.Behaviour = FakeService::OnStop::Ignores;
  service.Recovers = true;
  const std::vector<EndRecord> records = world.Run(EndMode::Every);
  // Forced after 20 s; its restart gets what is left of the 30 s, then the limit.
  EXPECT_EQ(Texts(records), (std::vector<std::string>{
                                "Vex.exe 10 service VexEngine: forced after 20.0 s: it did not stop in time",
                                "Vex.exe 10 ended",
                                "Vex.exe 1010 service VexEngine: forced after 9.5 s: it did not stop in time",
                                "Vex.exe 1010 ended",
                                "Vex.exe 2010 still running when the time limit ran out: 30.0 s",
                            }));
  EXPECT_EQ(world.services.UnexpectedEnds, 2);
  EXPECT_EQ(EndExitCode(EndMode::Every, records), 1);
}

TEST(ServiceStop, ASharedHostIsNeitherStoppedNorForced) {
  World world;
  world.AddService("VexA", 10, "Vex.exe").Shared = true;
  world.services.Add("OtherB", 10).Shared = true;
  world.AddService("VexSqlA", 20, "VexSQL.exe").Shared = true;  // alone in its host for now
  const std::vector<EndRecord> records = world.Run(EndMode::OnePerImage, {"Vex.exe", "VexSQL.exe"});
  EXPECT_EQ(Texts(records), (std::vector<std::string>{
                                "Vex.exe 10 could not end: a shared service host (VexA, OtherB): never ended by force",
                                "VexSQL.exe 20 could not end: a shared service host (VexSqlA): never ended by force"}));
  EXPECT_TRUE(world.services.StopRequests.empty());
  EXPECT_TRUE(world.processes.Terminated.empty());
  EXPECT_EQ(EndExitCode(EndMode::OnePerImage, records), 1);
}

TEST(ServiceStop, WithoutTheServiceManagerProcessesAreEndedAsBeforeAndListingNamesServices) {
  World world;
  world.AddService("VexEngine", 10, "Vex.exe");
  world.AddService("VexSql", 20, "VexSQL.exe");
  EXPECT_EQ(
      Texts(world.Run(EndMode::ListOnly, {"Vex.exe", "VexSQL.exe", "Missing.exe"})),
      (std::vector<std::string>{"Vex.exe 10 listed: services: VexEngine", "VexSQL.exe 20 listed: services: VexSql"}));

  world.services.ListError = kErrorAccessDenied;
  world.processes.OnTerminate = [&](ProcessId id) {
    if (id == 10) world.processes.Add(30, "C:\\Vex\\Vex.exe");  // back once, for a second pass of -k
  };
  const std::vector<EndRecord> records = world.Run(EndMode::Every, {"Vex.exe", "VexSQL.exe"});
  // Told once, then each process ended as any other.
  EXPECT_EQ(Texts(records).front(),
            " 0 services not asked to stop: the service manager could not be asked: access denied: start Tarnwick as "
            "administrator; processes are ended without a stop request");
  EXPECT_EQ(records.size(), 4u);
  EXPECT_EQ(world.processes.Terminated, (std::vector<ProcessId>{10, 20, 30}));
  EXPECT_TRUE(world.services.StopRequests.empty());
}

}  // namespace
}  // namespace tarnwick
