// The shell's folder browser and web addresses.
#include "frontend/win32/Win32Window.h"
#include "platform/Host.h"
// The shell's headers after <windows.h>, which Win32Window.h brings.
#include <shellapi.h>
#include <shlobj.h>

namespace {

// BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_EDITBOX | BIF_NEWDIALOGSTYLE
constexpr UINT kBrowseFlags = 0x53;

}  // namespace

std::optional<std::string> Win32Ui::BrowseForFolder(const Form* owner, const std::string& title) {
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return std::nullopt;
  SyncAll();
  char display_name[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = WindowOf(owner);
  info.pidlRoot = nullptr;  // the desktop; no callback, so nothing is preselected
  info.pszDisplayName = display_name;
  info.lpszTitle = title.c_str();
  info.ulFlags = kBrowseFlags;
  std::optional<std::string> chosen;
  LPITEMIDLIST item = SHBrowseForFolderA(&info);
  if (item != nullptr) {
    char path[MAX_PATH] = {};
    if (SHGetPathFromIDListA(item, path)) chosen = std::string(path);
    allocator->Free(item);
  }
  allocator->Release();
  return chosen;
}

void Win32Ui::OpenWebAddress(const std::string& url) {
  ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOW);
}

std::unique_ptr<Ui> CreateUi(Host&) { return std::make_unique<Win32Ui>(); }
