// The deadline of each name query and the giving up of a worker that does not answer.
#include "process/NameQueries.h"

#include <algorithm>

namespace tarnwick {

std::vector<NameAnswer> AskNames(const std::vector<void*>& files, const NameLimits& limits, Clock& clock,
                                 const NameWorkerFactory& startWorker) {
  std::vector<NameAnswer> answers(files.size());
  const std::uint64_t end = clock.NowMs() + limits.BudgetMs;
  std::size_t next = 0;
  for (int workers = 0; next < files.size() && workers < limits.MostWorkers && clock.NowMs() < end; ++workers) {
    const std::unique_ptr<NameWorker> worker = startWorker();
    if (worker == nullptr || !worker->Started()) break;
    for (bool first = true; next < files.size(); first = false) {
      const std::uint64_t until = std::min(end, clock.NowMs() + (first ? limits.FirstAnswerMs : limits.PerQueryMs));
      // Answered or given up, this file is done; a worker that did not answer goes with it.
      const std::size_t i = next++;
      if (!worker->Ask(files[i], until, answers[i])) break;
    }
  }
  return answers;
}

}  // namespace tarnwick
