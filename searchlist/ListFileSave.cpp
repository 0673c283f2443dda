// The save's choice of way and its order of steps: nothing is given up before the new content is whole.
#include "searchlist/ListFileSave.h"

namespace tarnwick {
namespace {

ListSaveResult Failed(std::string reason, std::string oldContent) {
  return {.saved = false, .way = SaveWay::Nothing, .reason = std::move(reason), .oldContent = std::move(oldContent)};
}

ListSaveResult InPlace(ListFileSystem& files, const ListFileState& state, const std::string& content,
                       const std::string& besideReason) {
  if (!state.writable) return Failed(state.reason.empty() ? besideReason : state.reason, state.content);
  const FileStep written = files.WriteInPlace(content);
  if (written.done) return {.saved = true, .way = SaveWay::InPlace, .reason = {}, .oldContent = state.content};
  // Half a new list is worse than the old one: put the old back as it was.
  const FileStep restored = files.WriteInPlace(state.content);
  return Failed(restored.done ? written.reason : written.reason + "; the old content could not be put back",
                state.content);
}

}  // namespace

ListSaveResult SaveListContent(ListFileSystem& files, const std::string& content,
                               const std::function<bool(std::string_view old)>& holdsContent) {
  const ListFileState state = files.Open();
  if (!state.exists) {
    if (content.empty()) return {.saved = true, .way = SaveWay::Nothing, .reason = {}, .oldContent = {}};
    const FileStep beside = files.WriteBeside(content);
    if (!beside.done) return Failed(beside.reason, {});
    const FileStep placed = files.PutBesideInPlace(false);
    if (placed.done) return {.saved = true, .way = SaveWay::NewFile, .reason = {}, .oldContent = {}};
    files.RemoveBeside();
    return Failed(placed.reason, {});
  }
  if (state.foreignLink) {
    return Failed("it is a link that someone else may have placed, and Tarnwick runs elevated", state.content);
  }
  if (!state.readable) return Failed(state.reason, {});
  if (state.content == content || (holdsContent && holdsContent(state.content))) {
    return {.saved = true, .way = SaveWay::Nothing, .reason = {}, .oldContent = state.content};
  }
  // A read-only file stays as its owner made it; swapping a new one in would not ask.
  if (!state.writable) return Failed(state.reason, state.content);
  if (state.links > 1 || state.followedLink) return InPlace(files, state, content, {});

  const FileStep beside = files.WriteBeside(content);
  if (beside.done) {
    const FileStep placed = files.PutBesideInPlace(true);
    if (placed.done) return {.saved = true, .way = SaveWay::NewFile, .reason = {}, .oldContent = state.content};
    files.RemoveBeside();
    return InPlace(files, state, content, placed.reason);
  }
  // The folder refuses a new file (only the list file is writable): the old content waits in memory.
  return InPlace(files, state, content, beside.reason);
}

}  // namespace tarnwick
