// Win32 shortcuts: IShellLinkW saved and loaded through IPersistFile, COM per worker thread.
#include "KVL/Base/Platform/ShellLink.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/WinString.h"

namespace KVL::Platform {

namespace {

// COM for the life of the thread: initialised on first use, balanced when the thread ends.
struct TThreadApartment {
  HRESULT Result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ~TThreadApartment() {
    if (SUCCEEDED(Result)) CoUninitialize();
  }
};

// Releases a COM interface when it goes.
template <class T>
class TComRef {
public:
  ~TComRef() {
    if (p_) p_->Release();
  }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  void** Out() { return reinterpret_cast<void**>(&p_); }

private:
  T* p_ = nullptr;
};

// "\\?\" + the absolute path ("\\?\UNC\server\share\..." for a share), so paths beyond
// MAX_PATH load as well.
std::wstring LongPathForm(const std::string& path) {
  std::wstring full = Wide(ExpandFileName(path));
  if (full.rfind(L"\\\\?\\", 0) == 0) return full;
  if (full.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

bool LoadLink(IPersistFile& file, const std::wstring& path) { return SUCCEEDED(file.Load(path.c_str(), STGM_READ)); }

} // namespace

std::string ShellLinkFileName(const std::string& linkPath) { return linkPath; }

bool InitializeShellObjects() {
  thread_local TThreadApartment apartment;
  // A thread already in the multithreaded apartment can use shell links as well.
  return SUCCEEDED(apartment.Result) || apartment.Result == RPC_E_CHANGED_MODE;
}

bool CreateShellLink(const std::string& linkPath, const std::string& target) {
  if (!InitializeShellObjects()) return false;
  TComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out())))
    return false;
  if (FAILED(link->SetPath(Wide(target).c_str()))) return false;
  TComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out()))) return false;
  return SUCCEEDED(file->Save(Wide(linkPath).c_str(), TRUE));
}

std::optional<std::string> ReadShellLinkTarget(const std::string& linkPath) {
  if (!FileExists(linkPath) || !InitializeShellObjects()) return std::nullopt;
  TComRef<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.Out())))
    return std::nullopt;
  TComRef<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.Out()))) return std::nullopt;
  // Some shell versions refuse the long-path form; the plain path is the second try.
  if (!LoadLink(*file, LongPathForm(linkPath)) && !LoadLink(*file, Wide(linkPath)))
    return std::nullopt;
  std::vector<wchar_t> buffer(65536, L'\0');
  if (link->GetPath(buffer.data(), 65535, nullptr, 0) != S_OK) return std::nullopt;
  return Narrow(buffer.data());
}

void NotifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST | SHCNF_FLUSH, nullptr, nullptr); }

} // namespace KVL::Platform
