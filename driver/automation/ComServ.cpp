// The in-process server: the four exports, the class factories and the registry entries of
// the class Trelmo and of its settings property page. The 32- and 64-bit libraries can be
// registered side by side; each keeps its classes in its own registry view and shares the
// ProgID, TypeLib and Interface keys.
#include "ole1C.h"
#include "oleMain.h"
#include "driver/tools/untPage.h"
#include "untHolders.h"

#include <new>
#include <string>

// The class COM hands out: one object for automation clients and the 1C host alike.
using TServerObject = Tole1C;

namespace {
HINSTANCE Instance = nullptr;
LONG ObjectCount = 0;
LONG LockCount = 0;

const wchar_t* const ServerName = L"Addin";
const wchar_t* const ClassName = L"Trelmo";
const DWORD InvisibleAtRuntime = 1024; // OLEMISC_INVISIBLEATRUNTIME

// The object starts with one reference, held here until QueryInterface gives the caller one.
HRESULT CreateTrelmo(REFIID iid, void** object) {
    TComPtr<TServerObject> trelmo;
    try {
        trelmo.Reset(new TServerObject);
        trelmo->Initialize();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL; // a class factory answers with an HRESULT alone
    }
    return trelmo->QueryInterface(iid, object);
}

// One factory per creatable class. It lives as long as the module, so it counts no
// references of its own; clients keep the module loaded with LockServer.
class TClassFactory : public IClassFactory {
public:
    using TCreate = HRESULT (*)(REFIID iid, void** object);
    explicit TClassFactory(TCreate create) : Create(create) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return Create(iid, object);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&LockCount);
        else
            InterlockedDecrement(&LockCount);
        return S_OK;
    }

private:
    TCreate Create;
};

TClassFactory TrelmoFactory(CreateTrelmo);
TClassFactory PageFactory(CreatePropertyPage);

struct TFactoryEntry {
    const CLSID* Class;
    TClassFactory* Factory;
};
const TFactoryEntry Factories[] = {{&CLSID_Trelmo, &TrelmoFactory},
                                   {&CLSID_TrelmoPage, &PageFactory}};

// ---------------------------------------------------------------- registry

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(Instance, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return {};
    // A drive's root keeps its backslash: "C:" alone would mean the current folder there.
    return path.substr(0, slash == 2 && path[1] == L':' ? 3 : slash);
}

// Any failure of registration or unregistration ends in E_FAIL.
struct ERegistryFailure {};

void CheckStatus(LSTATUS status) {
    if (status != ERROR_SUCCESS)
        throw ERegistryFailure();
}

void CheckResult(HRESULT result) {
    if (FAILED(result))
        throw ERegistryFailure();
}

// Creates HKEY_CLASSES_ROOT\key (in this module's registry view) with its default value and,
// when `name` is given, one more named value.
void WriteKey(const std::wstring& key, const std::wstring& value, const wchar_t* name = nullptr,
              const std::wstring& namedValue = {}) {
    TRegKey handle;
    CheckStatus(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                handle.Out(), nullptr));
    auto set = [&](const wchar_t* valueName, const std::wstring& text) {
        CheckStatus(RegSetValueExW(handle.Get(), valueName, 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    };
    set(nullptr, value);
    if (name)
        set(name, namedValue);
}

// A key that is already gone counts as removed.
void DeleteTree(const std::wstring& key) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (status != ERROR_FILE_NOT_FOUND)
        CheckStatus(status);
}

bool KeyExists(const std::wstring& key, REGSAM view = 0) {
    TRegKey handle;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | view, handle.Out()) ==
           ERROR_SUCCESS;
}

std::wstring ClassKey() {
    return L"CLSID\\" + GuidText(CLSID_Trelmo);
}

std::wstring PageClassKey() {
    return L"CLSID\\" + GuidText(CLSID_TrelmoPage);
}

// Whether the library of the other bitness has the class registered in its registry view.
bool OtherViewHasClass() {
#ifdef _WIN64
    const REGSAM other = KEY_WOW64_32KEY;
#else
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
        return false; // a 32-bit system has one view only
    const REGSAM other = KEY_WOW64_64KEY;
#endif
    return KeyExists(ClassKey() + L"\\InprocServer32", other);
}

// The type library carried in the module.
struct TTypeLibrary {
    TComPtr<ITypeLib> Library;
    TLIBATTR* Attributes = nullptr; // the library's own memory, which goes back before it
    explicit TTypeLibrary(const std::wstring& path) {
        CheckResult(LoadTypeLibEx(path.c_str(), REGKIND_NONE, Library.Out()));
        CheckResult(Library->GetLibAttr(&Attributes));
    }
    ~TTypeLibrary() {
        if (Attributes)
            Library->ReleaseTLibAttr(Attributes);
    }
    TTypeLibrary(const TTypeLibrary&) = delete;
    TTypeLibrary& operator=(const TTypeLibrary&) = delete;

    // TypeLib\{libid}\major.minor, the key the two bitnesses share.
    std::wstring VersionKey() const {
        wchar_t version[16];
        wsprintfW(version, L"%x.%x", Attributes->wMajorVerNum, Attributes->wMinorVerNum);
        return L"TypeLib\\" + GuidText(Attributes->guid) + L"\\" + version;
    }
    // The locale and platform below the version key, where this bitness keeps its path.
    std::wstring PlatformKey() const {
        wchar_t locale[16];
        wsprintfW(locale, L"%lx", static_cast<unsigned long>(Attributes->lcid));
        const wchar_t* platform = Attributes->syskind == SYS_WIN64 ? L"win64" : L"win32";
        return VersionKey() + L"\\" + locale + L"\\" + platform;
    }
};

void RegisterTrelmo(const std::wstring& path, const std::wstring& libraryId) {
    const std::wstring key = ClassKey();
    const std::wstring progId = std::wstring(ServerName) + L"." + ClassName;
    WriteKey(key, ClassName);
    WriteKey(key + L"\\InprocServer32", path, L"ThreadingModel", L"Apartment");
    WriteKey(key + L"\\ProgID", progId);
    WriteKey(key + L"\\Control", L"");
    WriteKey(key + L"\\MiscStatus", L"0");
    WriteKey(key + L"\\MiscStatus\\1", std::to_wstring(InvisibleAtRuntime));
    WriteKey(key + L"\\ToolboxBitmap32", path + L",1");
    WriteKey(key + L"\\TypeLib", libraryId);
    WriteKey(key + L"\\Version", L"1.0");
    WriteKey(progId + L"\\CLSID", GuidText(CLSID_Trelmo));
}

// No ProgID and no threading model: the page lives in the thread of the frame that shows it.
void RegisterPage(const std::wstring& path) {
    const std::wstring key = PageClassKey();
    WriteKey(key, std::wstring(PageFormClassName) + L" property page");
    WriteKey(key + L"\\InprocServer32", path);
}

void RegisterServer() {
    std::wstring path = ModulePath();
    CheckResult(path.empty() ? E_FAIL : S_OK);
    TTypeLibrary library(path);
    std::wstring help = FolderOf(path);
    CheckResult(RegisterTypeLib(library.Library.Get(), path.data(), help.data()));
    RegisterTrelmo(path, GuidText(library.Attributes->guid));
    RegisterPage(path);
}

using TUnRegisterTypeLib = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

// Removes the type library with everything it registered, Interface keys included, in both
// views. Looked up at run time: without the function the type library stays registered.
void UnregisterTypeLibrary(const TTypeLibrary& library) {
    if (!KeyExists(library.PlatformKey()))
        return;
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const TModule oleaut(LoadLibraryW(L"oleaut32.dll"));
    SetErrorMode(oldMode);
    if (!oleaut)
        return;
    auto unregister = reinterpret_cast<TUnRegisterTypeLib>(
        reinterpret_cast<void (*)()>(GetProcAddress(oleaut.Get(), "UnRegisterTypeLib")));
    if (unregister) {
        const TLIBATTR& a = *library.Attributes;
        CheckResult(unregister(a.guid, a.wMajorVerNum, a.wMinorVerNum, a.lcid, a.syskind));
    }
}

// Removes this bitness's path of the type library and leaves the rest to the other one.
void UnregisterTypeLibraryPlatform(const TTypeLibrary& library) {
    const std::wstring platform = library.PlatformKey();
    DeleteTree(platform);
    const std::wstring locale = platform.substr(0, platform.find_last_of(L'\\'));
    RegDeleteKeyW(HKEY_CLASSES_ROOT, locale.c_str()); // fails while the other's path is there
}

void UnregisterServer() {
    const std::wstring path = ModulePath();
    CheckResult(path.empty() ? E_FAIL : S_OK);
    TTypeLibrary library(path);
    if (OtherViewHasClass()) {
        UnregisterTypeLibraryPlatform(library);
    } else {
        UnregisterTypeLibrary(library);
        DeleteTree(std::wstring(ServerName) + L"." + ClassName);
    }
    DeleteTree(ClassKey());
    DeleteTree(PageClassKey());
}

template <class TStep> HRESULT Registration(TStep step) {
    try {
        step();
        return S_OK;
    } catch (...) {
        return E_FAIL; // regsvr32 and installers read the HRESULT alone
    }
}
} // namespace

HINSTANCE ModuleInstance() {
    return Instance;
}

void ServerObjectCreated() {
    InterlockedIncrement(&ObjectCount);
}

void ServerObjectDestroyed() {
    InterlockedDecrement(&ObjectCount);
}

extern "C" {
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    // Thread notifications stay on: the statically linked runtime frees its per-thread data
    // with them.
    if (reason == DLL_PROCESS_ATTACH)
        Instance = instance;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    for (const TFactoryEntry& entry : Factories) {
        if (IsEqualCLSID(clsid, *entry.Class))
            return entry.Factory->QueryInterface(iid, object);
    }
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() {
    return ObjectCount > 0 || LockCount > 0 ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer() {
    return Registration(RegisterServer);
}

STDAPI DllUnregisterServer() {
    return Registration(UnregisterServer);
}
}
