// List views of another process, read and written across it.
// Their messages take pointers, so the records live in the other process's memory.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "common/WideTextWin32.h"
#include "tests/support/Driver.h"

namespace tarnwick::test {
namespace {

// Memory in the list's process for one item record and its text.
class RemoteItem {
 public:
  explicit RemoteItem(HWND list) {
    DWORD pid = 0;
    GetWindowThreadProcessId(list, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    memory_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE));
  }
  ~RemoteItem() {
    VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    CloseHandle(process_);
  }
  RemoteItem(const RemoteItem&) = delete;
  RemoteItem& operator=(const RemoteItem&) = delete;

  wchar_t* Text() const { return reinterpret_cast<wchar_t*>(memory_ + sizeof(LVITEMW)); }
  LPARAM Item() const { return reinterpret_cast<LPARAM>(memory_); }
  template <typename T>
  void Write(const T& value, std::size_t offset = 0) {
    WriteProcessMemory(process_, memory_ + offset, &value, sizeof(T), nullptr);
  }
  template <typename T>
  T Read(std::size_t offset = 0) const {
    T value{};
    ReadProcessMemory(process_, memory_ + offset, &value, sizeof(T), nullptr);
    return value;
  }
  // UTF-8, as the program's texts.
  std::string ReadText() const {
    std::wstring text(kTextSize, L'\0');
    ReadProcessMemory(process_, Text(), text.data(), kTextSize * sizeof(wchar_t), nullptr);
    return Utf8FromWide(text.substr(0, text.find(L'\0')));
  }
  static constexpr int kTextSize = 4096;

 private:
  static constexpr std::size_t kSize = sizeof(LVITEMW) + kTextSize * sizeof(wchar_t);
  HANDLE process_ = nullptr;
  char* memory_ = nullptr;
};

}  // namespace

int ListViewCount(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }

std::string ListViewText(HWND list, int item, int subItem) {
  RemoteItem remote(list);
  LVITEMW record{};
  record.iSubItem = subItem;
  record.pszText = remote.Text();
  record.cchTextMax = RemoteItem::kTextSize;
  remote.Write(record);
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(item), remote.Item());
  return remote.ReadText();
}

std::vector<std::string> ListViewColumn(HWND list, int subItem) {
  std::vector<std::string> texts;
  const int count = ListViewCount(list);
  for (int i = 0; i < count; ++i) texts.push_back(ListViewText(list, i, subItem));
  return texts;
}

bool ListViewChecked(HWND list, int item) {
  const auto state =
      static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_STATEIMAGEMASK));
  return ((state >> 12) - 1) == 1;
}

bool ListViewSelected(HWND list, int item) {
  return (SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(item), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

void SetListViewChecked(HWND list, int item, bool checked) {
  RemoteItem remote(list);
  LVITEMA record{};
  record.stateMask = LVIS_STATEIMAGEMASK;
  record.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  remote.Write(record);
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), remote.Item());
}

void SelectListViewItem(HWND list, int item) {
  RemoteItem remote(list);
  LVITEMA record{};
  record.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  record.state = LVIS_SELECTED | LVIS_FOCUSED;
  remote.Write(record);
  SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(item), remote.Item());
}

int ListViewColumnWidth(HWND list, int column) {
  return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}

RECT ListViewItemRect(HWND list, int item) {
  RemoteItem remote(list);
  RECT rect{LVIR_BOUNDS, 0, 0, 0};
  remote.Write(rect);
  SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(item), remote.Item());
  return remote.Read<RECT>();
}

LPARAM ListViewItemData(HWND list, int item) {
  RemoteItem remote(list);
  LVITEMA record{};
  record.mask = LVIF_PARAM;
  record.iItem = item;
  remote.Write(record);
  SendMessageA(list, LVM_GETITEMA, 0, remote.Item());
  return remote.Read<LVITEMA>().lParam;
}

}  // namespace tarnwick::test
