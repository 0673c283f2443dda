// Services in the ending pipeline, over a fake service manager: stopped through it side by side before
// their process is ended, dependents first; each waited for by its own progress; forced only after the
// wait; generic shared hosts never; and the whole record of each step.
#include "process/ServiceStop.h"

#include <gtest/gtest.h>

#include "tests/unit/FakeWorld.h"

namespace tarnwick {
namespace {

using test::FakeService;
using R = EndResult;
using Records = std::vector<EndRecord>;

struct World : test::FakeWorld {
  // A service of its own in a process of the image, in session 0 as services are.
  FakeService& AddService(const std::string& name, ProcessId pid, const std::string& image) {
    processes.Add(pid, "C:\\Vex\\" + image).Session = 0;
    return services.Add(name, pid);
  }
  Records Run(EndMode mode, const std::vector<std::string>& images = {"Vex.exe"}, KeepAlive keepAlive = {},
              std::uint32_t runMs = EndLimits().RunMs, bool whatIf = false) {
    start = clock.Now;
    // What the services did is the matter here; the program files are the pipeline test's.
    Records records = FakeWorld::Run(mode, images, std::move(keepAlive), runMs, whatIf);
    for (EndRecord& record : records) record.Path.clear();
    return records;
  }
  std::uint64_t Took() const { return clock.Now - start; }
  std::uint64_t start = 0;
};

EndRecord Ended(const std::string& image, ProcessId id, std::uint32_t waitedMs = 0) {
  return {.Image = image, .Id = id, .Session = 0, .Result = R::Ended, .WaitedMs = waitedMs};
}
EndRecord Stopped(const std::string& image, ProcessId id, const std::string& service,
                  std::vector<std::string> dependents = {}) {
  return {.Image = image, .Id = id, .Session = 0, .Service = service, .Result = R::ServiceStopped, .Names = dependents};
}

// The service manager is asked once per pass; each load forgets the last, and reads each configuration once.
TEST(ServiceHosts, EachLoadAsksOnceAndForgetsTheLastOne) {
  World world;
  world.AddService("VexEngine", 10, "Vex.exe").Shared = true;
  world.services.Add("VexAgent", 10).Shared = true;
  world.AddService("VexSQL", 11, "VexSQL.exe").Dependencies = {"VexEngine"};
  world.Run(EndMode::ListOnly, {"Vex.exe", "VexSQL.exe"});
  EXPECT_EQ(world.services.ListCalls, 1);

  ServiceHosts hosts;
  ASSERT_EQ(hosts.Load(world.services), 0u);
  world.services.ConfigReads = 0;
  EXPECT_TRUE(hosts.IsOwnHost(world.services, 10, "C:\\Vex\\Vex.exe"));
  EXPECT_EQ(hosts.DependentsInStopOrder(world.services, "VexEngine").size(), 1u);
  EXPECT_EQ(world.services.ConfigReads, 3);
  world.services.Services[0].ProgramFile = "C:\\Other\\Vex.exe";
  ASSERT_EQ(hosts.Load(world.services), 0u);
  EXPECT_FALSE(hosts.IsOwnHost(world.services, 10, "C:\\Vex\\Vex.exe"));
  EXPECT_EQ(world.services.ConfigReads, 6);
  world.services.ListError = kErrorAccessDenied;
  EXPECT_EQ(hosts.Load(world.services), kErrorAccessDenied);
  EXPECT_TRUE(hosts.In(10).empty());
}

TEST(ServiceStop, EveryServiceIsAskedOnceAfterItsDependentsAndOverlapsWithTheOthers) {
  const auto setUp = [](World& world) {
    world.AddService("VexEngine", 10, "Vex.exe");
    world.AddService("VexGateway", 20, "QuilListener.exe").Dependencies = {"vexengine"};
    world.AddService("VexPanel", 30, "Tallyboard.exe").Dependencies = {"VexGateway", "VexSql"};  // needs it indirectly
    world.AddService("VexOpc", 40, "VexOPC.exe").Dependencies = {"+VexGroup"};
    world.services.Services[0].Group = "VexGroup";
    world.AddService("Unrelated", 50, "Other.exe").Dependencies = {"Elsewhere"};
    world.AddService("VexSql", 60, "VexSQL.exe");
  };
  World world;
  setUp(world);

  const Records records = world.Run(EndMode::OnePerImage, {"Vex.exe", "VexOPC.exe", "VexSQL.exe"});
  // Level by level: what nothing needs first, then what only they needed, then the engine.
  EXPECT_EQ(world.services.StopRequests,
            (std::vector<std::string>{"VexOpc", "VexPanel", "VexSql", "VexGateway", "VexEngine"}));
  EXPECT_EQ(records, (Records{
                         Stopped("Tallyboard.exe", 30, "VexPanel"),
                         Stopped("VexOPC.exe", 40, "VexOpc"),
                         Ended("VexOPC.exe", 40),
                         Stopped("QuilListener.exe", 20, "VexGateway", {"VexPanel"}),
                         Stopped("VexSQL.exe", 60, "VexSql", {"VexPanel"}),
                         Ended("VexSQL.exe", 60),
                         Stopped("Vex.exe", 10, "VexEngine", {"VexPanel", "VexGateway", "VexOpc"}),
                         Ended("Vex.exe", 10),
                     }));
  EXPECT_TRUE(world.processes.Terminated.empty());
  EXPECT_EQ(world.services.UnexpectedEnds, 0);  // no "terminated unexpectedly", so no recovery
  EXPECT_EQ(world.Took(), 3 * 300u);            // three levels, not five stops one after another

  // "/whatif" decides the same and asks nothing: each host with the services it would stop, in order.
  World preview;
  setUp(preview);
  const auto would = [](const std::string& image, ProcessId id, std::vector<std::string> names) {
    return EndRecord{.Image = image, .Id = id, .Session = 0, .Result = R::WouldEnd, .Names = std::move(names)};
  };
  EXPECT_EQ(preview.Run(EndMode::OnePerImage, {"Vex.exe", "VexOPC.exe", "VexSQL.exe"}, {}, EndLimits().RunMs, true),
            (Records{would("Vex.exe", 10, {"VexPanel", "VexGateway", "VexOpc", "VexEngine"}),
                     would("VexOPC.exe", 40, {"VexOpc"}), would("VexSQL.exe", 60, {"VexPanel", "VexSql"})}));
  EXPECT_TRUE(preview.services.StopRequests.empty());
  EXPECT_TRUE(preview.processes.Terminated.empty());

  // Listed before the service it needs, the dependent's host changes nothing: each is asked once.
  World reversed;
  reversed.AddService("VexGateway", 20, "QuilListener.exe").Dependencies = {"VexEngine"};
  reversed.AddService("VexEngine", 10, "Vex.exe");
  reversed.Run(EndMode::OnePerImage, {"QuilListener.exe", "Vex.exe"});
  EXPECT_EQ(reversed.services.StopRequests, (std::vector<std::string>{"VexGateway", "VexEngine"}));
}

TEST(ServiceStop, SlowServicesStopSideBySideWithinTheirOwnLimitAndNoneIsForced) {
  World world;
  for (ProcessId pid : {10u, 20u, 30u}) {
    FakeService& slow = world.AddService("Slow" + std::to_string(pid), pid, "Vex" + std::to_string(pid) + ".exe");
    slow.StopTakesMs = 12000;  // past the 3 s hint, with a fresh checkpoint every 500 ms
    slow.WaitHintMs = 3000;
    slow.ProgressEveryMs = 500;
  }
  const Records records = world.Run(EndMode::OnePerImage, {"Vex10.exe", "Vex20.exe", "Vex30.exe"});
  EXPECT_EQ(records,
            (Records{Stopped("Vex10.exe", 10, "Slow10"), Ended("Vex10.exe", 10), Stopped("Vex20.exe", 20, "Slow20"),
                     Ended("Vex20.exe", 20), Stopped("Vex30.exe", 30, "Slow30"), Ended("Vex30.exe", 30)}));
  EXPECT_EQ(world.Took(), 12000u);
  EXPECT_TRUE(world.processes.Terminated.empty());
}

TEST(ServiceStop, WhenToGiveUpAndForce) {
  using Stop = FakeService::OnStop;
  struct Case {
    const char* name;
    Stop behaviour;
    std::uint32_t stopError;
    std::uint32_t waitHintMs;
    std::uint32_t handlerBlocksMs;
    bool processStays;
    bool pendingAlready;  // someone else asked it to stop just before
    Records records;
    std::uint64_t tookMs;
  };
  const auto service = [](R result, std::uint32_t error, std::uint32_t waitedMs) {
    return EndRecord{.Image = "Vex.exe",
                     .Id = 10,
                     .Session = 0,
                     .Service = "VexEngine",
                     .Result = result,
                     .Error = error,
                     .WaitedMs = waitedMs};
  };
  const Case cases[] = {
      {"ignores the request: forced at the cap",
       Stop::Ignores,
       0,
       1000,
       0,
       false,
       false,
       {service(R::ServiceForced, 0, 20000), Ended("Vex.exe", 10)},
       20000},
      {"stop pending without progress: forced once its wait hint has passed",
       Stop::Hangs,
       0,
       1000,
       0,
       false,
       false,
       {service(R::ServiceForced, 0, 1100), Ended("Vex.exe", 10)},
       1100},
      {"a longer hint is waited for as long",
       Stop::Hangs,
       0,
       5000,
       0,
       false,
       false,
       {service(R::ServiceForced, 0, 5500), Ended("Vex.exe", 10)},
       5500},
      {"the stop may not be asked: ended as any process",
       Stop::Stops,
       kErrorAccessDenied,
       1000,
       0,
       false,
       false,
       {service(R::ServiceNotStopped, kErrorAccessDenied, 0), Ended("Vex.exe", 10)},
       0},
      {"stopped, but the process lingers: ended after the process wait",
       Stop::Stops,
       0,
       1000,
       0,
       true,
       false,
       {Stopped("Vex.exe", 10, "VexEngine"), Ended("Vex.exe", 10, 5000)},
       5300},
      {"a stop someone else asked for is awaited",
       Stop::Stops,
       0,
       1000,
       0,
       false,
       true,
       {Stopped("Vex.exe", 10, "VexEngine"), Ended("Vex.exe", 10)},
       300},
      {"the control handler answers only when the service manager gives up: ended then",
       Stop::Stops,
       0,
       1000,
       10000,
       false,
       false,
       {service(R::ServiceNotStopped, kErrorServiceRequestTimeout, 10000), Ended("Vex.exe", 10)},
       10000},
      {"the control handler never answers: forced at the cap, and the record says why",
       Stop::Stops,
       0,
       1000,
       FakeService::kNever,
       false,
       false,
       {service(R::ServiceForced, kErrorServiceRequestTimeout, 20000), Ended("Vex.exe", 10)},
       20000},
  };
  for (const Case& c : cases) {
    World world;
    FakeService& engine = world.AddService("VexEngine", 10, "Vex.exe");
    engine.Behaviour = c.behaviour;
    engine.StopError = c.stopError;
    engine.WaitHintMs = c.waitHintMs;
    engine.HandlerBlocksMs = c.handlerBlocksMs;
    engine.ProcessStaysAfterStop = c.processStays;
    if (c.pendingAlready) {
      engine.StopAskedAt = world.clock.Now;
      world.processes.Find(10)->EndsAt = world.clock.Now + engine.StopTakesMs;
    }
    const Records records = world.Run(EndMode::OnePerImage);
    EXPECT_EQ(records, c.records) << c.name;
    EXPECT_EQ(world.Took(), c.tookMs) << c.name;
    const bool forced = c.records[0].Result != R::ServiceStopped || c.processStays;
    EXPECT_EQ(world.processes.Terminated, forced ? std::vector<ProcessId>{10} : std::vector<ProcessId>{}) << c.name;
    EXPECT_EQ(EndExitCode(EndMode::OnePerImage, records), 0) << c.name;  // the process is gone
  }
}

// The run's limit holds, and a process forced as it runs out still gets a moment to go.
TEST(ServiceStop, AtTheRunsLimitTheHostIsForcedAndGivenAMomentToGo) {
  World world;
  world.AddService("VexEngine", 10, "Vex.exe").Behaviour = FakeService::OnStop::Ignores;
  world.processes.Find(10)->EndsAfterTerminateMs = 200;
  const Records records = world.Run(EndMode::OnePerImage, {"Vex.exe"}, {}, 8000);
  EXPECT_EQ(records, (Records{{.Image = "Vex.exe",
                               .Id = 10,
                               .Session = 0,
                               .Service = "VexEngine",
                               .Result = R::ServiceForced,
                               .WaitedMs = 8000},
                              Ended("Vex.exe", 10)}));
  EXPECT_EQ(world.Took(), 8200u);
}

TEST(ServiceStop, AStubbornServiceThatRecoversKeepsKillBusyUntilItsLimit) {
  World world;
  FakeService& service = world.AddService("VexEngine", 10, "Vex.exe");
  service.Behaviour = FakeService::OnStop::Ignores;
  service.Recovers = true;
  const Records records = world.Run(EndMode::Every);
  // Forced after 20 s; its restart gets what is left of the 30 s, then the limit.
  const auto forced = [](ProcessId id, std::uint32_t waitedMs) {
    return EndRecord{.Image = "Vex.exe",
                     .Id = id,
                     .Session = 0,
                     .Service = "VexEngine",
                     .Result = R::ServiceForced,
                     .WaitedMs = waitedMs};
  };
  EXPECT_EQ(records,
            (Records{forced(10, 20000),
                     Ended("Vex.exe", 10),
                     forced(1010, 9500),
                     Ended("Vex.exe", 1010),
                     {.Image = "Vex.exe", .Id = 1010, .Session = 0, .Result = R::CameBack, .WaitedMs = 10000},
                     {.Image = "Vex.exe", .Id = 2010, .Session = 0, .Result = R::LeftAtLimit, .WaitedMs = 30000},
                     {.Image = "Vex.exe",
                      .Id = 1010,
                      .Session = 0,
                      .Result = R::KeptComingBack,
                      .WaitedMs = 30000,
                      .TimesEnded = 2}}));
  EXPECT_EQ(world.services.UnexpectedEnds, 2);
  EXPECT_EQ(EndExitCode(EndMode::Every, records), 1);
}

TEST(ServiceStop, TheSuitesOwnHostIsStoppedAndEndedAGenericHostNeverIs) {
  struct Case {
    const char* name;
    bool fromDll;
    std::string otherProgram;  // the second service's program; empty: the host's own
    bool ended;
  };
  const Case cases[] = {
      {"both services run from the listed image's own program", false, "", true},
      {"the second service is a DLL loaded by the host", true, "", false},
      {"the second service runs from another program", false, "C:\\Other\\Other.exe", false},
  };
  for (const Case& c : cases) {
    World world;
    world.AddService("VexA", 10, "Vex.exe").Shared = true;
    FakeService& second = world.services.Add("VexB", 10);
    second.Shared = true;
    second.FromDll = c.fromDll;
    second.ProgramFile = c.otherProgram;
    const Records records = world.Run(EndMode::OnePerImage);
    const Records expected =
        c.ended
            ? Records{Stopped("Vex.exe", 10, "VexA"), Stopped("Vex.exe", 10, "VexB"), Ended("Vex.exe", 10)}
            : Records{{.Image = "Vex.exe", .Id = 10, .Session = 0, .Result = R::SharedHost, .Names = {"VexA", "VexB"}}};
    EXPECT_EQ(records, expected) << c.name;
    EXPECT_EQ(world.services.StopRequests.size(), c.ended ? 2u : 0u) << c.name;
    EXPECT_TRUE(world.processes.Terminated.empty()) << c.name;
    EXPECT_EQ(EndExitCode(EndMode::OnePerImage, records), c.ended ? 0 : 1) << c.name;
  }
}

TEST(ServiceStop, PlainProcessesAndServiceHostsInOnePassInEitherOrder) {
  for (const bool hostsFirst : {false, true}) {
    World world;
    const auto plain = [&](ProcessId id, const std::string& image) { world.processes.Add(id, "C:\\V\\" + image); };
    if (!hostsFirst) plain(10, "Vex.exe");
    world.AddService("EngineA", 20, "VexSQL.exe");
    if (!hostsFirst) plain(30, "VexOPC.exe");
    world.AddService("EngineB", 40, "VexUPnP.exe");
    if (hostsFirst) {
      plain(10, "Vex.exe");
      plain(30, "VexOPC.exe");
    }
    const Records records = world.Run(EndMode::OnePerImage, {"Vex.exe", "VexSQL.exe", "VexOPC.exe", "VexUPnP.exe"});
    EXPECT_EQ(records.size(), 6u) << hostsFirst;
    EXPECT_EQ(EndExitCode(EndMode::OnePerImage, records), 0) << hostsFirst;
    for (ProcessId id : {10u, 20u, 30u, 40u}) EXPECT_FALSE(world.processes.IsAlive(id)) << id << " " << hostsFirst;
    EXPECT_EQ(world.processes.Terminated, (std::vector<ProcessId>{10, 30})) << hostsFirst;
  }
}

TEST(ServiceStop, TheWindowIsKeptAliveWhileServicesStopAndKillLooksAgain) {
  World world;
  world.AddService("VexEngine", 10, "Vex.exe").StopTakesMs = 1000;
  std::vector<std::uint64_t> calls;
  world.Run(EndMode::Every, {"Vex.exe"}, [&](const std::string&) { calls.push_back(world.clock.Now); });
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), world.start);
  EXPECT_GE(calls.back() + kKeepAliveMs, world.clock.Now);  // through the rescan pause too
  for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i] - calls[i - 1], kKeepAliveMs) << i;
  EXPECT_EQ(world.Took(), 1000u + 3000u);  // the stop, then the quiet period
}

TEST(ServiceStop, WithoutTheServiceManagerProcessesAreEndedAsBeforeAndListingNamesServices) {
  World world;
  world.AddService("VexEngine", 10, "Vex.exe");
  world.AddService("VexSql", 20, "VexSQL.exe");
  EXPECT_EQ(world.Run(EndMode::ListOnly, {"Vex.exe", "VexSQL.exe", "Missing.exe"}),
            (Records{{.Image = "Vex.exe", .Id = 10, .Session = 0, .Result = R::Listed, .Names = {"VexEngine"}},
                     {.Image = "VexSQL.exe", .Id = 20, .Session = 0, .Result = R::Listed, .Names = {"VexSql"}}}));

  world.services.ListError = kErrorAccessDenied;
  world.processes.OnTerminate = [&](ProcessId id) {
    if (id == 10) world.processes.Add(30, "C:\\Vex\\Vex.exe");  // back once, for a second pass of -k
  };
  const Records records = world.Run(EndMode::Every, {"Vex.exe", "VexSQL.exe"});
  // Told once, then each process ended as any other.
  EXPECT_EQ(records.front(), (EndRecord{.Result = R::ServicesNotAsked, .Error = kErrorAccessDenied}));
  EXPECT_EQ(records.size(), 5u);  // the note, three ends, and that Vex.exe came back
  EXPECT_EQ(world.processes.Terminated, (std::vector<ProcessId>{10, 20, 30}));
  EXPECT_TRUE(world.services.StopRequests.empty());
}

}  // namespace
}  // namespace tarnwick
