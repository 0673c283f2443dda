// Who else holds a folder: the seam that reads what each process holds (program file, modules, mapped
// views, open files and folders), and the rules that turn it into records (never Tarnwick itself, its
// starters only named, a process that could not be read counted but never taken as free).
#pragma once
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "process/EndRecord.h"
#include "process/FindProcess.h"

namespace tarnwick {

class EndContext;

// One process of the holder search's snapshot, with what its ancestry needs.
struct HolderProcess {
  ProcessId Id = 0;
  ProcessId Parent = 0;
  std::uint64_t Created = 0;  // creation time in the system's units; 0 where unknown
  SessionId Session = kUnknownSession;
  std::string Image{};  // the file name of its program
};

// One thing held, by its final path (every name of a file gives the same one).
struct HeldFile {
  HoldWay Way = HoldWay::None;
  std::wstring Path{};
};

enum class Inspection {
  Read,    // everything it holds through its program, modules and views
  Denied,  // it could not be opened to read them (Error); its program file may still be known
  Wider,   // a 64-bit process seen from the 32-bit exe: its modules cannot be read
};

// An open file of some process, from the system's handle table.
struct OpenFile {
  ProcessId Id = 0;
  HeldFile File{};
};
struct HandleScan {
  std::vector<OpenFile> Files{};
  std::uint32_t NamesGivenUp = 0;  // disk files whose name query did not answer in time
};

class HolderApi {
 public:
  virtual ~HolderApi() = default;
  // Every running process, from one snapshot; false when none came.
  virtual bool Processes(std::vector<HolderProcess>& processes) = 0;
  // The program file, the modules and the mapped views of one process, by final path.
  virtual Inspection Inspect(ProcessId id, std::vector<HeldFile>& held, std::uint32_t& error) = 0;
  // The open files and folders of every process but `skip`, from one handle table; the name queries stop
  // within budgetMs, and those given up are counted.
  virtual HandleScan OpenFiles(const std::set<ProcessId>& skip, std::uint32_t budgetMs) = 0;
};

// Tarnwick's ancestors: its parent, that one's parent and so on, each created before its child (an id
// reused by a later process is no parent).
std::set<ProcessId> AncestorsOf(ProcessId own, const std::vector<HolderProcess>& processes);

// With a folder (the context's scope, in final-path form): one record for each process other than
// Tarnwick and `skip` that holds something in it; its ancestors named as such; a record for each
// process that could not be inspected, and one for the name queries given up.
void FindHolders(EndContext& context, HolderApi& api, const std::set<ProcessId>& skip);

// True when the records name a holder that counts: the folder is not free.
bool FolderHeld(const std::vector<EndRecord>& records);

}  // namespace tarnwick
