// Reading "Tarnwick.ini" in one bounded pass, and the save's file steps on the real file system.
#include "searchlist/SearchListFileWin32.h"

#include <windows.h>

#include <algorithm>
#include <optional>

#include "common/WideTextWin32.h"
#include "common/Win32Handles.h"

namespace tarnwick {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The save keeps the old file in memory; a file past this size is not one Tarnwick wrote.
constexpr DWORD kMaxSavedOverBytes = 64u * 1024 * 1024;

std::string Reason(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const LocalMemory owned(text);
  std::string message = length > 0 && text != nullptr ? Utf8FromWide(std::wstring_view(text, length)) : std::string();
  while (!message.empty() &&
         (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return (message.empty() ? "system error" : message) + " (error " + std::to_string(error) + ")";
}

std::string LastReason() { return Reason(GetLastError()); }

// Reads up to `limit` bytes from the start of the file; `more` tells that the file held more.
bool ReadUpTo(HANDLE file, std::size_t limit, std::string& bytes, bool& more) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) return false;
  // Room for the file as it is, and one byte more to tell that it passes the limit (or grew meanwhile).
  std::size_t room = static_cast<std::size_t>(std::min<unsigned long long>(size.QuadPart, limit)) + 1;
  bytes.assign(room, '\0');
  std::size_t got = 0;
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file, bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &n, nullptr)) return false;
    got += n;
    if (n == 0 || got > limit) break;
    if (got == bytes.size()) bytes.resize(room = std::min(room * 2, limit + 1));
  }
  more = got > limit;
  bytes.resize(more ? limit : got);
  return true;
}

bool WriteAll(HANDLE file, std::string_view content) {
  while (!content.empty()) {
    DWORD n = 0;
    if (!::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &n, nullptr) || n == 0) return false;
    content.remove_prefix(n);
  }
  return true;
}

// The file's text in UTF-8, as the W profile functions decode it: UTF-16 (either order) or UTF-8 after
// its byte-order mark, else the ANSI code page.
std::string DecodeListBytes(std::string_view bytes) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
  const bool little = bytes.substr(0, 2) == "\xFF\xFE";
  if (!little && bytes.substr(0, 2) != "\xFE\xFF") return Utf8FromWide(WideFromAnsi(bytes));
  std::wstring wide;
  for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
    wide.push_back(static_cast<wchar_t>(little ? first | (second << 8) : (first << 8) | second));
  }
  return Utf8FromWide(wide);
}

// The bytes of the list's text: in the ANSI code page as ever where every character fits it, so that
// older copies of Tarnwick read it as before; else UTF-16 LE after its mark, as the W functions write it.
std::string EncodeListText(std::string_view text) {
  const std::wstring wide = WideFromUtf8(text);
  if (std::optional<std::string> ansi = ExactAnsiFromWide(wide)) return *std::move(ansi);
  std::string bytes = "\xFF\xFE";
  for (const wchar_t unit : wide) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>((unit >> 8) & 0xFF));
  }
  return bytes;
}

bool IsSharingError(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

class ListFileWin32 final : public ListFileSystem {
 public:
  ListFileWin32(const std::wstring& path, bool elevated)
      : path_(path), beside_(path + L".new"), openFlags_(elevated ? FILE_FLAG_OPEN_REPARSE_POINT : 0) {}

  ListFileState Open() override {
    ListFileState state;
    list_.Reset(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, openFlags_,
                            nullptr));
    state.Writable = static_cast<bool>(list_);
    if (!list_) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return state;
      state.Reason = Reason(error);
      list_.Reset(CreateFileW(path_.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, openFlags_, nullptr));
    }
    state.Exists = true;
    if (!list_) return state;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(list_.Get(), &info)) {
      state.Reason = LastReason();
      return state;
    }
    // Opened as the link itself (elevated runs only): whoever placed it, it is not written through.
    state.ForeignLink = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (openFlags_ == 0) {
      const DWORD attributes = GetFileAttributesW(path_.c_str());
      state.FollowedLink = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    if (state.Writable && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
      state.Writable = false;
      state.Reason = "the file is read-only";
    }
    state.Links = info.nNumberOfLinks;
    // Elevated, a second name of the file may lie where someone else can place it (a hard link to a system
    // file, say): it is not written through either.
    if (openFlags_ != 0 && state.Links > 1) state.ForeignLink = true;
    attributes_ = info.dwFileAttributes;
    bool more = false;
    if (!ReadUpTo(list_.Get(), kMaxSavedOverBytes, state.Content, more)) {
      state.Reason = LastReason();
    } else if (more) {
      state.Reason = "the file is larger than " + std::to_string(kMaxSavedOverBytes / (1024 * 1024)) + " MB";
    } else {
      state.Readable = true;
    }
    return state;
  }

  FileStep WriteBeside(std::string_view content) override {
    KernelHandle file;
    for (int attempt = 0; attempt < 2 && !file; ++attempt) {
      // Never opened if found: a stale file (an interrupted save) or a planted link goes first.
      file.Reset(CreateFileW(beside_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file && GetLastError() != ERROR_FILE_EXISTS) break;
      if (!file) DeleteFileW(beside_.c_str());
    }
    if (!file) return {.Done = false, .Reason = LastReason()};
    // The bytes reach the disk before the swap makes them the list, so a power cut leaves a whole file.
    if (!WriteAll(file.Get(), content) || !FlushFileBuffers(file.Get())) {
      const std::string reason = LastReason();
      file.Reset();
      RemoveBeside();
      return {.Done = false, .Reason = reason};
    }
    return {.Done = true, .Reason = {}};
  }

  FileStep PutBesideInPlace(bool listExists) override {
    if (!listExists) {
      if (MoveFileExW(beside_.c_str(), path_.c_str(), MOVEFILE_WRITE_THROUGH)) return {.Done = true, .Reason = {}};
      return {.Done = false, .Reason = LastReason()};
    }
    list_.Reset();  // the swap opens the list itself
    // ReplaceFileW keeps them on Windows; Wine's does not, so the new file carries them already.
    constexpr DWORD kKept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    if (attributes_ & kKept) SetFileAttributesW(beside_.c_str(), (attributes_ & kKept) | FILE_ATTRIBUTE_ARCHIVE);
    if (ReplaceFileW(path_.c_str(), beside_.c_str(), nullptr, 0, nullptr, nullptr)) return {.Done = true, .Reason = {}};
    const DWORD error = GetLastError();
    // A swap cut half-way can leave the list gone and the new file whole: that one is then the list.
    if (GetFileAttributesW(path_.c_str()) == INVALID_FILE_ATTRIBUTES &&
        MoveFileExW(beside_.c_str(), path_.c_str(), MOVEFILE_WRITE_THROUGH)) {
      return {.Done = true, .Reason = {}};
    }
    return {.Done = false, .Reason = Reason(error)};
  }

  void RemoveBeside() override { DeleteFileW(beside_.c_str()); }

  FileStep WriteInPlace(std::string_view content) override {
    if (!list_) {
      list_.Reset(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING,
                              openFlags_, nullptr));
      BY_HANDLE_FILE_INFORMATION info{};
      if (list_ && GetFileInformationByHandle(list_.Get(), &info) &&
          (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        list_.Reset();
        return {.Done = false, .Reason = "the file was replaced by a link"};
      }
      if (!list_) return {.Done = false, .Reason = LastReason()};
    }
    LARGE_INTEGER start{};
    if (SetFilePointerEx(list_.Get(), start, nullptr, FILE_BEGIN) && WriteAll(list_.Get(), content) &&
        SetEndOfFile(list_.Get()) && FlushFileBuffers(list_.Get())) {
      return {.Done = true, .Reason = {}};
    }
    return {.Done = false, .Reason = LastReason()};
  }

 private:
  std::wstring path_;
  std::wstring beside_;
  DWORD openFlags_;
  DWORD attributes_ = 0;
  KernelHandle list_;
};

// The file as a start reads it: its first kMaxListBytes bytes, decoded. The bound counts the file's bytes,
// so that the save judges a file by what the start read of it.
ListFileText TextOfBytes(std::string_view bytes) {
  return {.Status = ListFileStatus::Read,
          .Text = DecodeListBytes(bytes.substr(0, kMaxListBytes)),
          .CutAtSize = bytes.size() > kMaxListBytes};
}

}  // namespace

ListFileText ReadSearchListFile(HANDLE file) {
  std::string bytes;
  bool more = false;
  if (!SetFilePointerEx(file, {}, nullptr, FILE_BEGIN) || !ReadUpTo(file, kMaxListBytes, bytes, more))
    return {.Status = ListFileStatus::Unreadable, .Reason = LastReason()};
  ListFileText text = TextOfBytes(bytes);
  text.CutAtSize = more;
  return text;
}

ListFileText ReadSearchListFile(const std::wstring& path) {
  // An editor, a backup or a sync tool may hold the file without sharing for a moment: about 2 s in all.
  constexpr int kTries = 20;
  constexpr DWORD kPauseMs = 100;
  for (int attempt = 1;; ++attempt) {
    const KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (file) return ReadSearchListFile(file.Get());
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    if (!IsSharingError(error) || attempt == kTries) {
      return {.Status = ListFileStatus::Unreadable, .Reason = Reason(error)};
    }
    Sleep(kPauseMs);
  }
}

SearchListSave SaveSearchListFile(const std::wstring& path, const SearchList& list, bool elevated) {
  ListFileWin32 files(path, elevated);
  const std::string text = SearchListBytes(list);
  // Compared as text, so that a file with a byte-order mark holding the list is left as it is; a file
  // past the read's bounds keeps what was not read, as long as the list is as read.
  const ListSaveResult result = SaveListContent(files, EncodeListText(text), [&](std::string_view old) {
    const ListFileText oldFile = TextOfBytes(old);
    return (!oldFile.CutAtSize && oldFile.Text == text) ||
           (!ReadsWhole(oldFile) && !ListDiffersFromFile(list, oldFile));
  });
  const ListFileText oldFile = TextOfBytes(result.OldContent);
  if (result.Saved) {
    const bool rewritten = result.Way != SaveWay::Nothing;
    return {.Saved = true,
            .EditLost = false,
            .Reason = {},
            .Dropped = rewritten ? DescribeDropped(list, DecodeListBytes(result.OldContent)) : ""};
  }
  return {.Saved = false, .EditLost = ListDiffersFromFile(list, oldFile), .Reason = result.Reason, .Dropped = {}};
}

}  // namespace tarnwick
