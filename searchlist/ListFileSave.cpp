// The save's choice of way and its order of steps: nothing is given up before the new content is whole.
#include "searchlist/ListFileSave.h"

namespace tarnwick {
namespace {

ListSaveResult Failed(std::string reason, std::string oldContent) {
  return {.Saved = false, .Way = SaveWay::Nothing, .Reason = std::move(reason), .OldContent = std::move(oldContent)};
}

ListSaveResult InPlace(ListFileSystem& files, const ListFileState& state, const std::string& content,
                       const std::string& besideReason) {
  if (!state.Writable) return Failed(state.Reason.empty() ? besideReason : state.Reason, state.Content);
  const FileStep written = files.WriteInPlace(content);
  if (written.Done) return {.Saved = true, .Way = SaveWay::InPlace, .Reason = {}, .OldContent = state.Content};
  // Half a new list is worse than the old one: put the old back as it was.
  const FileStep restored = files.WriteInPlace(state.Content);
  return Failed(restored.Done ? written.Reason : written.Reason + "; the old content could not be put back",
                state.Content);
}

}  // namespace

ListSaveResult SaveListContent(ListFileSystem& files, const std::string& content,
                               const std::function<bool(std::string_view old)>& holdsContent) {
  const ListFileState state = files.Open();
  if (!state.Exists) {
    if (content.empty()) return {.Saved = true, .Way = SaveWay::Nothing, .Reason = {}, .OldContent = {}};
    const FileStep beside = files.WriteBeside(content);
    if (!beside.Done) return Failed(beside.Reason, {});
    const FileStep placed = files.PutBesideInPlace(false);
    if (placed.Done) return {.Saved = true, .Way = SaveWay::NewFile, .Reason = {}, .OldContent = {}};
    files.RemoveBeside();
    return Failed(placed.Reason, {});
  }
  if (state.ForeignLink) {
    return Failed("it is a link that someone else may have placed, and Tarnwick runs elevated", state.Content);
  }
  if (!state.Readable) return Failed(state.Reason, {});
  if (state.Content == content || (holdsContent && holdsContent(state.Content))) {
    return {.Saved = true, .Way = SaveWay::Nothing, .Reason = {}, .OldContent = state.Content};
  }
  // A read-only file stays as its owner made it; swapping a new one in would not ask.
  if (!state.Writable) return Failed(state.Reason, state.Content);
  if (state.Links > 1 || state.FollowedLink) return InPlace(files, state, content, {});

  const FileStep beside = files.WriteBeside(content);
  if (beside.Done) {
    const FileStep placed = files.PutBesideInPlace(true);
    if (placed.Done) return {.Saved = true, .Way = SaveWay::NewFile, .Reason = {}, .OldContent = state.Content};
    files.RemoveBeside();
    return InPlace(files, state, content, placed.Reason);
  }
  // The folder refuses a new file (only the list file is writable): the old content waits in memory.
  return InPlace(files, state, content, beside.Reason);
}

}  // namespace tarnwick
