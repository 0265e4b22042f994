// The shell's folder browser.
#include "platform/win32/Win32Host.h"

#include <shlobj.h>

#include "platform/win32/Win32Ui.h"

namespace {

// BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_EDITBOX | BIF_NEWDIALOGSTYLE
constexpr UINT kBrowseFlags = 0x53;

}  // namespace

std::optional<std::string> Win32Host::BrowseForFolder(const Form* owner,
                                                      const std::string& title) {
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return std::nullopt;
  ui_->SyncAll();
  char display_name[MAX_PATH] = {};
  BROWSEINFOA info = {};
  info.hwndOwner = ui_->WindowOf(owner);
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
