// The driver object as an automation client sees it: created through COM by ProgID and by
// class identifier, called through its vtable and through IDispatch with the virtual board
// behind the port, and described by the type library inside the library.
//
//   test_com_client [GoogleTest options] <port number> <board serial number>
//
// The Trelmo.dll next to this program registers itself first. Run with LC_ALL=ru_RU.UTF-8:
// Wine then reads the type library's Russian help strings in code page 1251.
#include "AddInLib.h"
#include "TrelmoLib_TLB.h"
#include "comtest.h"
#include "untCodePage.h"
#include "untMembers.h"

#include <gtest/gtest.h>
#include <oleauto.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

using namespace comtest;

namespace {
int BoardPort = 0;
int BoardSerial = 0;
HRESULT(STDAPICALLTYPE* CanUnloadNow)() = nullptr;
LPFNGETCLASSOBJECT GetClassObject = nullptr;

const UINT InheritedCount = 7; // IUnknown and IDispatch, listed first in the dispatch view
const UINT OwnCount = 152;

std::string Narrow(const std::wstring& text) {
    return Cp1251ToUtf8(WideToCp1251(text));
}

std::string ReadAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TPtr<ITrelmo> CreateTrelmo(REFCLSID clsid = CLSID_Trelmo) {
    TPtr<ITrelmo> trelmo;
    EXPECT_EQ(S_OK,
              CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ITrelmo, trelmo.Put()));
    return trelmo;
}

// One object per test, talking to the board with the default line settings (the user's saved
// settings may hold others).
class ComClient : public ::testing::Test {
protected:
    void SetUp() override {
        Trelmo = CreateTrelmo();
        ASSERT_TRUE(Trelmo.Get());
        ASSERT_EQ(S_OK, Trelmo->QueryInterface(IID_IDispatch, Dispatch.Put()));
        LONG code = -1;
        ASSERT_EQ(S_OK, Trelmo->SetDefaults(&code));
        ASSERT_EQ(S_OK, Trelmo->put_PortNumber(BoardPort));
    }
    void TearDown() override {
        if (Trelmo.Get()) {
            LONG code = 0;
            Trelmo->ClosePort(&code);
        }
    }

    LONG ResultCode() {
        LONG code = 12345;
        EXPECT_EQ(S_OK, Trelmo->get_ResultCode(&code));
        return code;
    }
    std::wstring ResultDescription() {
        TBstr text;
        EXPECT_EQ(S_OK, Trelmo->get_ResultDescription(&text.B));
        return text.Text();
    }
    DISPID IdOf(const wchar_t* name) {
        DISPID id = 0;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(S_OK, Dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))
            << Narrow(name);
        return id;
    }
    // Invoke as a script host does: any call result comes back in `result`.
    HRESULT Invoke(const wchar_t* name, WORD flags, VARIANT* result, VARIANT* argument = nullptr) {
        DISPID put = DISPID_PROPERTYPUT;
        DISPPARAMS params{argument, argument ? &put : nullptr, argument ? 1u : 0u,
                          argument ? 1u : 0u};
        EXCEPINFO exception{};
        UINT badArgument = 0;
        return Dispatch->Invoke(IdOf(name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                &exception, &badArgument);
    }
    // A temporary log with method lines on.
    std::wstring LogMethodsToFile() {
        wchar_t folder[MAX_PATH], path[MAX_PATH];
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"trl", 0, path);
        LogPath = path;
        EXPECT_EQ(S_OK, Trelmo->put_ComLogFile(TBstr(path).B));
        EXPECT_EQ(S_OK, Trelmo->put_LogMethods(VARIANT_TRUE));
        EXPECT_EQ(S_OK, Trelmo->put_LogOn(VARIANT_TRUE));
        return LogPath;
    }
    // Switching the log off closes the file, so all of it is on disk.
    std::string LogText() {
        EXPECT_EQ(S_OK, Trelmo->put_LogOn(VARIANT_FALSE));
        const std::string text = ReadAll(LogPath);
        DeleteFileW(LogPath.c_str());
        return text;
    }

    TPtr<ITrelmo> Trelmo;
    TPtr<IDispatch> Dispatch;
    std::wstring LogPath;
};

// ---------------------------------------------------------------- the server

TEST(ComServer, ProgIdAndClassIdCreateTheSameClassWithAllItsInterfaces) {
    CLSID clsid{};
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"Addin.Trelmo", &clsid));
    EXPECT_TRUE(IsEqualCLSID(CLSID_Trelmo, clsid));

    TPtr<ITrelmo> objects[] = {CreateTrelmo(clsid), CreateTrelmo(CLSID_Trelmo)};
    for (const TPtr<ITrelmo>& trelmo : objects) {
        ASSERT_TRUE(trelmo.Get());
        TPtr<IProvideClassInfo2> classInfo;
        ASSERT_EQ(S_OK, trelmo->QueryInterface(IID_IProvideClassInfo2, classInfo.Put()));
        TPtr<ITypeInfo> coclass;
        ASSERT_EQ(S_OK, classInfo->GetClassInfo(coclass.Out()));
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(S_OK, coclass->GetTypeAttr(&attributes));
        EXPECT_TRUE(IsEqualGUID(CLSID_Trelmo, attributes->guid));
        EXPECT_EQ(TKIND_COCLASS, attributes->typekind);
        coclass->ReleaseTypeAttr(attributes);

        // One identity behind every interface, the 1C host's ones included.
        TPtr<IUnknown> identity;
        ASSERT_EQ(S_OK, trelmo->QueryInterface(IID_IUnknown, identity.Put()));
        for (const IID& iid : {IID_ITrelmo, IID_IDispatch, IID_IProvideClassInfo, IID_IInitDone,
                               IID_ILanguageExtender}) {
            TPtr<IUnknown> part, back;
            ASSERT_EQ(S_OK, trelmo->QueryInterface(iid, part.Put()));
            ASSERT_EQ(S_OK, part->QueryInterface(IID_IUnknown, back.Put()));
            EXPECT_EQ(identity.Get(), back.Get());
        }
        const IID unknown = {0x5e1d0a31, 0x1c2b, 0x4f55, {0x9a, 0x10, 0, 1, 2, 3, 4, 5}};
        void* none = &clsid;
        EXPECT_EQ(E_NOINTERFACE, trelmo->QueryInterface(unknown, &none));
        EXPECT_EQ(nullptr, none);
    }
}

TEST(ComServer, CountsReferencesAndUnloadsOnlyWhenNothingLives) {
    ASSERT_EQ(S_OK, CanUnloadNow());
    {
        TPtr<ITrelmo> trelmo = CreateTrelmo();
        ASSERT_TRUE(trelmo.Get());
        EXPECT_EQ(S_FALSE, CanUnloadNow());
        EXPECT_EQ(2u, trelmo->AddRef());
        EXPECT_EQ(1u, trelmo->Release());
        TPtr<IDispatch> dispatch;
        ASSERT_EQ(S_OK, trelmo->QueryInterface(IID_IDispatch, dispatch.Put()));
        EXPECT_EQ(3u, dispatch->AddRef());
        EXPECT_EQ(2u, dispatch->Release());
        dispatch.Reset();
        ITrelmo* last = trelmo.Get();
        last->AddRef();
        trelmo.Reset();
        EXPECT_EQ(S_FALSE, CanUnloadNow());
        EXPECT_EQ(0u, last->Release());
    }
    EXPECT_EQ(S_OK, CanUnloadNow());

    TPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, GetClassObject(CLSID_Trelmo, IID_IClassFactory, factory.Put()));
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(S_FALSE, CanUnloadNow());
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, CanUnloadNow());

    void* object = &factory;
    TPtr<IUnknown> outer;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, outer.Put()));
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.Get(), IID_IUnknown, &object));
    EXPECT_EQ(nullptr, object);
    outer.Reset();
    EXPECT_EQ(S_OK, CanUnloadNow());

    object = &factory;
    EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, GetClassObject(IID_ITrelmo, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    object = &factory;
    EXPECT_EQ(E_NOINTERFACE, GetClassObject(CLSID_Trelmo, IID_ITrelmo, &object));
    EXPECT_EQ(nullptr, object);
}

// ---------------------------------------------------------------- calls

TEST_F(ComClient, VtableCallsReachTheBoard) {
    LONG code = -1;
    ASSERT_EQ(S_OK, Trelmo->ReadStatus(&code));
    ASSERT_EQ(0, code) << Narrow(ResultDescription());
    EXPECT_EQ(0, ResultCode());
    EXPECT_EQ(L"Ошибок нет", ResultDescription());

    LONG serial = 0;
    EXPECT_EQ(S_OK, Trelmo->get_SerialNumber(&serial));
    EXPECT_EQ(BoardSerial, serial);
    TBstr version;
    EXPECT_EQ(S_OK, Trelmo->get_SoftVersion(&version.B));
    EXPECT_EQ(3u, SysStringLen(version.B));
    EXPECT_EQ(L"1.5", version.Text());

    VARIANT_BOOL power = 0, toggled = 1;
    EXPECT_EQ(S_OK, Trelmo->get_MBPowerState(&power));
    EXPECT_EQ(VARIANT_TRUE, power);
    EXPECT_EQ(S_OK, Trelmo->get_RelayToggled(&toggled));
    EXPECT_EQ(VARIANT_FALSE, toggled);
    // Any non-zero value is true, and true leaves the object as -1.
    VARIANT_BOOL logCommands = 0;
    EXPECT_EQ(S_OK, Trelmo->put_LogCommands(1));
    EXPECT_EQ(S_OK, Trelmo->get_LogCommands(&logCommands));
    EXPECT_EQ(VARIANT_TRUE, logCommands);
}

TEST_F(ComClient, DispatchGivesWhatTheVtableGives) {
    EXPECT_EQ(24, IdOf(L"ReadStatus"));
    EXPECT_EQ(24, IdOf(L"readSTATUS"));
    EXPECT_EQ(80, IdOf(L"PORTNUMBER"));
    EXPECT_EQ(91, IdOf(L"serialnumber"));
    EXPECT_EQ(DispIdAboutBox, IdOf(L"AboutBox"));
    DISPID id = 0;
    LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"ReadStatuss")};
    EXPECT_EQ(DISP_E_UNKNOWNNAME,
              Dispatch->GetIDsOfNames(IID_NULL, unknown, 1, LOCALE_USER_DEFAULT, &id));

    // The port goes in through IDispatch only.
    ASSERT_EQ(S_OK, Trelmo->put_PortNumber(1));
    TVar port;
    V_VT(&port.V) = VT_I4;
    V_I4(&port.V) = BoardPort;
    ASSERT_EQ(S_OK, Invoke(L"PortNumber", DISPATCH_PROPERTYPUT, nullptr, &port.V));
    LONG portNumber = 0;
    EXPECT_EQ(S_OK, Trelmo->get_PortNumber(&portNumber));
    EXPECT_EQ(BoardPort, portNumber);

    TVar code, serial, version, power, result;
    ASSERT_EQ(S_OK, Invoke(L"ReadStatus", DISPATCH_METHOD | DISPATCH_PROPERTYGET, &code.V));
    ASSERT_EQ(VT_I4, V_VT(&code.V));
    ASSERT_EQ(0, V_I4(&code.V)) << Narrow(ResultDescription());
    ASSERT_EQ(S_OK, Invoke(L"SerialNumber", DISPATCH_PROPERTYGET, &serial.V));
    ASSERT_EQ(S_OK, Invoke(L"SoftVersion", DISPATCH_PROPERTYGET, &version.V));
    ASSERT_EQ(S_OK, Invoke(L"MBPowerState", DISPATCH_PROPERTYGET, &power.V));
    ASSERT_EQ(S_OK, Invoke(L"ResultCode", DISPATCH_PROPERTYGET, &result.V));
    ASSERT_EQ(VT_I4, V_VT(&serial.V));
    EXPECT_EQ(BoardSerial, V_I4(&serial.V));
    ASSERT_EQ(VT_BSTR, V_VT(&version.V));
    EXPECT_EQ(std::wstring(L"1.5"), V_BSTR(&version.V));
    ASSERT_EQ(VT_BOOL, V_VT(&power.V));
    EXPECT_EQ(VARIANT_TRUE, V_BOOL(&power.V));
    ASSERT_EQ(VT_I4, V_VT(&result.V));
    EXPECT_EQ(ResultCode(), V_I4(&result.V));

    TVar nothing;
    EXCEPINFO exception{};
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(DISP_E_MEMBERNOTFOUND,
              Dispatch->Invoke(4242, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                               &nothing.V, &exception, nullptr));
}

TEST_F(ComClient, MethodLineFollowsTheCallInTheLog) {
    LogMethodsToFile();
    LONG code = -1;
    ASSERT_EQ(S_OK, Trelmo->ReadStatus(&code));
    ASSERT_EQ(0, code);
    const std::string log = LogText();
    EXPECT_NE(std::string::npos, log.find("-> 11 ")) << "no command block before the method";
    static const std::regex last(
        R"(\r\n\[\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}\] ReadStatus: 0\r\n$)");
    EXPECT_TRUE(std::regex_search(log, last)) << log;
}

// A value the driver refuses to encode raises inside WriteTable: the guard turns it into the
// result, the call still succeeds and no method line is written.
TEST_F(ComClient, RefusedTableValueBecomesTheResultNotAComError) {
    LogMethodsToFile();
    ASSERT_EQ(S_OK, Trelmo->put_TableNumber(1));
    ASSERT_EQ(S_OK, Trelmo->put_RowNumber(1));
    ASSERT_EQ(S_OK, Trelmo->put_FieldNumber(1)); // watchdog period, 10..3600
    ASSERT_EQ(S_OK, Trelmo->put_FieldValue(TBstr(L"99999").B));
    LONG code = 0;
    EXPECT_EQ(S_OK, Trelmo->WriteTable(&code));
    EXPECT_EQ(-9, ResultCode());
    EXPECT_NE(std::wstring::npos, ResultDescription().find(L"99999"))
        << Narrow(ResultDescription());

    TVar result;
    EXPECT_EQ(S_OK, Invoke(L"WriteTable", DISPATCH_METHOD, &result.V));
    EXPECT_EQ(-9, ResultCode());

    ASSERT_EQ(S_OK, Trelmo->put_FieldValue(TBstr(L"60").B));
    ASSERT_EQ(S_OK, Trelmo->WriteTable(&code));
    EXPECT_EQ(0, code) << Narrow(ResultDescription());
    const std::string log = LogText();
    EXPECT_EQ(log.find("WriteTable"), log.rfind("WriteTable")) << log;
    EXPECT_NE(std::string::npos, log.find("] WriteTable: 0\r\n")) << log;
}

TEST_F(ComClient, VersionAndParentWindowBelongToTheObject) {
    TBstr version;
    ASSERT_EQ(S_OK, Trelmo->get_Version(&version.B));
    EXPECT_EQ(L"" TRELMO_VERSION_TEXT, version.Text());

    LONG parent = -1;
    EXPECT_EQ(S_OK, Trelmo->get_ParentWnd(&parent));
    EXPECT_EQ(0, parent);
    EXPECT_EQ(S_OK, Trelmo->put_ParentWnd(0x10472));
    EXPECT_EQ(S_OK, Trelmo->get_ParentWnd(&parent));
    EXPECT_EQ(0x10472, parent);
    TPtr<ITrelmo> fresh = CreateTrelmo();
    ASSERT_TRUE(fresh.Get());
    EXPECT_EQ(S_OK, fresh->get_ParentWnd(&parent));
    EXPECT_EQ(0, parent);
}

// ---------------------------------------------------------------- type information

struct TTypeAttr {
    ITypeInfo* Info;
    TYPEATTR* A = nullptr;
    explicit TTypeAttr(ITypeInfo* info) : Info(info) { Info->GetTypeAttr(&A); }
    ~TTypeAttr() {
        if (A)
            Info->ReleaseTypeAttr(A);
    }
    TTypeAttr(const TTypeAttr&) = delete;
    TTypeAttr& operator=(const TTypeAttr&) = delete;
};

VARTYPE AutomationType(TMemberType type) {
    switch (type) {
    case TMemberType::Long:
        return VT_I4;
    case TMemberType::Boolean:
        return VT_BOOL;
    case TMemberType::String:
        return VT_BSTR;
    case TMemberType::Variant:
        return VT_VARIANT;
    case TMemberType::Date:
        return VT_DATE;
    }
    return VT_EMPTY;
}

// One vtable entry as the member table says it must be.
struct TExpectedFunction {
    const TMember* Member;
    INVOKEKIND Kind;
};

std::vector<TExpectedFunction> ExpectedFunctions() {
    std::vector<TExpectedFunction> functions;
    for (const TMember& m : Members()) {
        if (m.IsMethod()) {
            functions.push_back({&m, INVOKE_FUNC});
            continue;
        }
        functions.push_back({&m, INVOKE_PROPERTYGET});
        if (m.Writable)
            functions.push_back({&m, INVOKE_PROPERTYPUT});
    }
    return functions;
}

std::wstring Documentation(ITypeInfo* info, MEMBERID id) {
    TBstr name, doc;
    EXPECT_EQ(S_OK, info->GetDocumentation(id, &name.B, &doc.B, nullptr, nullptr));
    return doc.Text();
}

void ExpectFunction(ITypeInfo* info, UINT index, const TExpectedFunction& expected) {
    const TMember& m = *expected.Member;
    SCOPED_TRACE(std::string(m.Name) + (expected.Kind == INVOKE_PROPERTYPUT ? " (put)" : ""));
    FUNCDESC* f = nullptr;
    ASSERT_EQ(S_OK, info->GetFuncDesc(index, &f));
    EXPECT_EQ(m.DispId, f->memid);
    EXPECT_EQ(expected.Kind, f->invkind);
    EXPECT_EQ(CC_STDCALL, f->callconv);
    EXPECT_EQ(static_cast<SHORT>((InheritedCount + index) * sizeof(void*)), f->oVft);
    EXPECT_EQ(VT_HRESULT, f->elemdescFunc.tdesc.vt);
    const bool none = m.DispId == DispIdAboutBox;
    ASSERT_EQ(none ? 0 : 1, f->cParams);
    if (!none) {
        const ELEMDESC& p = f->lprgelemdescParam[0];
        const VARTYPE type = m.IsMethod() ? VARTYPE(VT_I4) : AutomationType(m.Type);
        if (expected.Kind == INVOKE_PROPERTYPUT) {
            EXPECT_EQ(type, p.tdesc.vt);
        } else {
            ASSERT_EQ(VT_PTR, p.tdesc.vt);
            EXPECT_EQ(type, p.tdesc.lptdesc->vt);
            EXPECT_EQ(PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, p.paramdesc.wParamFlags);
        }
    }
    info->ReleaseFuncDesc(f);
    TBstr name;
    UINT count = 0;
    EXPECT_EQ(S_OK, info->GetNames(m.DispId, &name.B, 1, &count));
    EXPECT_EQ(m.Name, Narrow(name.Text()));
    EXPECT_EQ(Cp1251ToWide(m.RussianName), Documentation(info, m.DispId));
}

TEST_F(ComClient, TypeInformationDescribesEveryMemberInVtableOrder) {
    ASSERT_EQ(1251u, GetACP()) << "run with LC_ALL=ru_RU.UTF-8 for the Russian help strings";
    UINT count = 0;
    ASSERT_EQ(S_OK, Dispatch->GetTypeInfoCount(&count));
    ASSERT_EQ(1u, count);
    TPtr<ITypeInfo> dispatchView, interfaceView;
    ASSERT_EQ(S_OK, Dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, dispatchView.Out()));
    {
        TTypeAttr attr(dispatchView.Get());
        ASSERT_TRUE(attr.A);
        EXPECT_TRUE(IsEqualGUID(IID_ITrelmo, attr.A->guid));
        EXPECT_EQ(TKIND_DISPATCH, attr.A->typekind);
        const WORD flags = TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE;
        EXPECT_EQ(flags, attr.A->wTypeFlags & flags);
        EXPECT_EQ(InheritedCount + OwnCount, attr.A->cFuncs);
    }
    HREFTYPE dual = 0;
    ASSERT_EQ(S_OK, dispatchView->GetRefTypeOfImplType(-1, &dual));
    ASSERT_EQ(S_OK, dispatchView->GetRefTypeInfo(dual, interfaceView.Out()));
    TTypeAttr attr(interfaceView.Get());
    ASSERT_TRUE(attr.A);
    EXPECT_EQ(TKIND_INTERFACE, attr.A->typekind);
    const WORD flags = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
    EXPECT_EQ(flags, attr.A->wTypeFlags & flags);
    ASSERT_EQ(OwnCount, attr.A->cFuncs);
    EXPECT_EQ((InheritedCount + OwnCount) * sizeof(void*), attr.A->cbSizeVft);

    const std::vector<TExpectedFunction> expected = ExpectedFunctions();
    ASSERT_EQ(OwnCount, expected.size());
    for (UINT i = 0; i < OwnCount; ++i)
        ExpectFunction(interfaceView.Get(), i, expected[i]);
    // Independent of the member table: the names a 1C user sees.
    EXPECT_EQ(L"ПолучитьСостояние", Documentation(dispatchView.Get(), 24));
    EXPECT_EQ(L"НаличиеНапряженияНаМатеринскойПлате", Documentation(dispatchView.Get(), 70));
    EXPECT_EQ(L"ОПрограмме", Documentation(dispatchView.Get(), DispIdAboutBox));
}

TEST(TypeLibrary, IsCarriedInTheLibraryFile) {
    ASSERT_EQ(1251u, GetACP()) << "run with LC_ALL=ru_RU.UTF-8 for the Russian help strings";
    TPtr<ITypeLib> library;
    ASSERT_EQ(S_OK, LoadTypeLibEx(LibraryPath().c_str(), REGKIND_NONE, library.Out()));
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attr));
    EXPECT_TRUE(IsEqualGUID(LIBID_TrelmoLib, attr->guid));
    EXPECT_EQ(1, attr->wMajorVerNum);
    EXPECT_EQ(0, attr->wMinorVerNum);
    EXPECT_EQ(0x0409u, attr->lcid);
    EXPECT_EQ(LIBFLAG_FCONTROL, attr->wLibFlags & LIBFLAG_FCONTROL);
    library->ReleaseTLibAttr(attr);
    TBstr name, doc;
    ASSERT_EQ(S_OK, library->GetDocumentation(-1, &name.B, &doc.B, nullptr, nullptr));
    EXPECT_EQ(L"TrelmoLib", name.Text());
    EXPECT_EQ(L"Норвик: Драйвер варнок-платы", doc.Text());

    ASSERT_EQ(3u, library->GetTypeInfoCount());
    const std::pair<const GUID*, TYPEKIND> entries[] = {
        {&IID_ITrelmo, TKIND_DISPATCH}, {&CLSID_Trelmo, TKIND_COCLASS}, {nullptr, TKIND_ENUM}};
    for (UINT i = 0; i < 3; ++i) {
        TPtr<ITypeInfo> info;
        ASSERT_EQ(S_OK, library->GetTypeInfo(i, info.Out()));
        TTypeAttr type(info.Get());
        ASSERT_TRUE(type.A);
        EXPECT_EQ(entries[i].second, type.A->typekind) << i;
        if (entries[i].first) {
            EXPECT_TRUE(IsEqualGUID(*entries[i].first, type.A->guid)) << i;
        }
        if (type.A->typekind == TKIND_COCLASS) {
            const WORD flags = TYPEFLAG_FCANCREATE | TYPEFLAG_FCONTROL;
            EXPECT_EQ(flags, type.A->wTypeFlags & flags);
        }
    }
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!ReadBoardArguments(argc, argv, "test_com_client", BoardPort, BoardSerial))
        return 2;
    // The same module that COM loads from the registered path.
    const HMODULE module = LoadTrelmo();
    using TEntry = HRESULT(STDAPICALLTYPE*)();
    const auto registerServer = Export<TEntry>(module, "DllRegisterServer");
    CanUnloadNow = Export<TEntry>(module, "DllCanUnloadNow");
    GetClassObject = Export<LPFNGETCLASSOBJECT>(module, "DllGetClassObject");
    if (!registerServer || !CanUnloadNow || !GetClassObject) {
        std::printf("cannot load Trelmo.dll or its exports (error %lu)\n", GetLastError());
        return 3;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HRESULT registered = registerServer();
    if (registered != S_OK) {
        std::printf("DllRegisterServer failed: 0x%08lx\n", static_cast<unsigned long>(registered));
        CoUninitialize();
        return 4;
    }
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
