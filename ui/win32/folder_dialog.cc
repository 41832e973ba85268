#include "ui/win32/folder_dialog.h"

#include "runtime/win32_text.h"

#include <objbase.h>
#include <shobjidl.h>
#include <windows.h>

namespace px::win32 {

namespace {

// Releases a COM object when it goes out of scope.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_ != nullptr) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** out() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

}  // namespace

std::string ChooseFolderDialog(void* owner, const std::string& title,
                               const std::string& start_folder) {
  // The dialog is a COM object of the calling thread's apartment; a thread already in
  // another apartment keeps it (the call then reports a changed mode and is not undone).
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  std::string chosen;
  {
    ComRef<IFileOpenDialog> dialog;
    if (SUCCEEDED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IFileOpenDialog, reinterpret_cast<void**>(dialog.out())))) {
      DWORD options = 0;
      dialog->GetOptions(&options);
      dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
      dialog->SetTitle(WideFromAnsi(title).c_str());
      if (!start_folder.empty()) {
        ComRef<IShellItem> start;
        if (SUCCEEDED(SHCreateItemFromParsingName(WideFromAnsi(start_folder).c_str(), nullptr,
                                                  IID_IShellItem,
                                                  reinterpret_cast<void**>(start.out())))) {
          dialog->SetFolder(start.get());
        }
      }
      ComRef<IShellItem> result;
      if (SUCCEEDED(dialog->Show(static_cast<HWND>(owner))) &&
          SUCCEEDED(dialog->GetResult(result.out()))) {
        PWSTR path = nullptr;
        if (SUCCEEDED(result->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path != nullptr) {
          chosen = AnsiFromWide(path);
          CoTaskMemFree(path);
        }
      }
    }
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return chosen;
}

}  // namespace px::win32
