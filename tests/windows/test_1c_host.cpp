// The driver object as a 1C:Enterprise host sees it: created through the library's class
// factory, spoken to only through IInitDone and ILanguageExtender, by English and Russian
// names, with the virtual board behind the port.
//
//   test_1c_host [GoogleTest options] <port number> <board serial number>
//
// The library is loaded from the program's folder, so no registration is needed.
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
#include <string>

using namespace comtest;

namespace {
int BoardPort = 0;
int BoardSerial = 0;
LPFNGETCLASSOBJECT GetClassObject = nullptr;

// The 7 functions of IUnknown and IDispatch that the dispatch view of a dual interface lists
// before the interface's own.
const wchar_t* const Inherited[] = {
    L"QueryInterface", L"AddRef",        L"Release", L"GetTypeInfoCount",
    L"GetTypeInfo",    L"GetIDsOfNames", L"Invoke"};
const long InheritedCount = 7;
const long MethodCount = 43;
const long PropertyCount = 77;

TPtr<IUnknown> CreateObject() {
    TPtr<IUnknown> object;
    CreateFromFactory(GetClassObject, IID_IUnknown, object.Put());
    return object;
}

class Host1C : public ::testing::Test {
protected:
    void SetUp() override {
        Object = CreateObject();
        ASSERT_TRUE(Object.Get()) << "the class factory made no object";
        ASSERT_EQ(S_OK, Object->QueryInterface(IID_IInitDone, InitDone.Put()));
        ASSERT_EQ(S_OK, Object->QueryInterface(IID_ILanguageExtender, Ext.Put()));
        ASSERT_EQ(S_OK, InitDone->Init(nullptr));
    }
    void TearDown() override {
        if (InitDone.Get()) {
            EXPECT_EQ(S_OK, InitDone->Done());
        }
    }

    using TFind = HRESULT (STDMETHODCALLTYPE ILanguageExtender::*)(BSTR, LONG*);
    using TName = HRESULT (STDMETHODCALLTYPE ILanguageExtender::*)(LONG, LONG, BSTR*);
    long Find(TFind find, const std::wstring& name) {
        long index = -1;
        EXPECT_EQ(S_OK, (Ext.Get()->*find)(TBstr(name).B, &index)) << Narrow(name);
        return index;
    }
    long Prop(const std::wstring& name) { return Find(&ILanguageExtender::FindProp, name); }
    long Method(const std::wstring& name) { return Find(&ILanguageExtender::FindMethod, name); }
    std::wstring Name(TName get, long index, long alias) {
        TBstr name;
        EXPECT_EQ(S_OK, (Ext.Get()->*get)(index, alias, &name.B));
        return name.Text();
    }
    std::wstring PropName(long i, long alias) {
        return Name(&ILanguageExtender::GetPropName, i, alias);
    }
    std::wstring MethodName(long i, long alias) {
        return Name(&ILanguageExtender::GetMethodName, i, alias);
    }
    void Set(const std::wstring& name, long value) {
        TVar v(value);
        EXPECT_EQ(S_OK, Ext->SetPropVal(Prop(name), &v.V)) << Narrow(name);
    }
    void Get(const std::wstring& name, VARTYPE type, TVar& v) {
        EXPECT_EQ(S_OK, Ext->GetPropVal(Prop(name), &v.V)) << Narrow(name);
        EXPECT_EQ(type, V_VT(&v.V)) << Narrow(name);
    }
    long GetLong(const std::wstring& name) {
        TVar v;
        Get(name, VT_I4, v);
        return V_VT(&v.V) == VT_I4 ? V_I4(&v.V) : -12345;
    }
    std::wstring GetText(const std::wstring& name) {
        TVar v;
        Get(name, VT_BSTR, v);
        return V_VT(&v.V) == VT_BSTR ? std::wstring(V_BSTR(&v.V)) : std::wstring();
    }
    // A method's result code, as the host gets it from CallAsFunc.
    long Call(const std::wstring& name) {
        TVar result;
        EXPECT_EQ(S_OK, Ext->CallAsFunc(Method(name), &result.V, nullptr)) << Narrow(name);
        EXPECT_EQ(VT_I4, V_VT(&result.V)) << Narrow(name);
        return V_VT(&result.V) == VT_I4 ? V_I4(&result.V) : -12345;
    }
    static std::string Narrow(const std::wstring& text) { return Cp1251ToUtf8(WideToCp1251(text)); }

    TPtr<IUnknown> Object;
    TPtr<IInitDone> InitDone;
    TPtr<ILanguageExtender> Ext;
};

// ---------------------------------------------------------------- the host's handshake

TEST_F(Host1C, HandshakeGivesVersionTextAndExtensionNameOnOneObject) {
    TPtr<IUnknown> connection = CreateObject();
    TPtr<IDispatch> dispatch;
    ASSERT_TRUE(connection.Get());
    ASSERT_EQ(S_OK, connection->QueryInterface(IID_IDispatch, dispatch.Put()));
    const ULONG before = dispatch->AddRef();
    dispatch->Release();
    EXPECT_EQ(S_OK, InitDone->Init(dispatch.Get()));
    EXPECT_EQ(before, dispatch->AddRef()) << "Init kept a reference to the host's connection";
    dispatch->Release();

    SAFEARRAY* info = SafeArrayCreateVector(VT_VARIANT, 0, 2);
    ASSERT_TRUE(info);
    EXPECT_EQ(S_OK, InitDone->GetInfo(&info));
    TVar first;
    LONG index = 0;
    ASSERT_EQ(S_OK, SafeArrayGetElement(info, &index, &first.V));
    SafeArrayDestroy(info);
    ASSERT_EQ(VT_BSTR, V_VT(&first.V)) << "the version must be a string, not a number";
    EXPECT_EQ(std::wstring(L"1000"), V_BSTR(&first.V));

    TBstr name(L"old name");
    EXPECT_EQ(S_OK, Ext->RegisterExtensionAs(&name.B));
    EXPECT_EQ(L"Zorbex", name.Text());

    TPtr<IUnknown> fromExt, fromInit;
    ASSERT_EQ(S_OK, Ext->QueryInterface(IID_IUnknown, fromExt.Put()));
    ASSERT_EQ(S_OK, InitDone->QueryInterface(IID_IUnknown, fromInit.Put()));
    EXPECT_EQ(Object.Get(), fromExt.Get());
    EXPECT_EQ(Object.Get(), fromInit.Get());
}

// ---------------------------------------------------------------- the registries

// The type library and the driver's member table are separate sources: every member must
// come out of the type information under both its names, in the interface's order.
TEST_F(Host1C, RegistriesHoldEveryMemberInTheInterfacesOrder) {
    long props = 0, methods = 0;
    ASSERT_EQ(S_OK, Ext->GetNProps(&props));
    ASSERT_EQ(S_OK, Ext->GetNMethods(&methods));
    EXPECT_EQ(PropertyCount, props);
    ASSERT_EQ(InheritedCount + MethodCount, methods);
    for (long i = 0; i < InheritedCount; ++i)
        EXPECT_EQ(Inherited[i], MethodName(i, 0));

    long method = InheritedCount, prop = 0;
    for (const TMember& m : Members()) {
        SCOPED_TRACE(m.Name);
        const std::wstring english = Cp1251ToWide(m.Name), russian = Cp1251ToWide(m.RussianName);
        if (m.IsMethod()) {
            EXPECT_EQ(method, Method(english));
            EXPECT_EQ(method, Method(russian));
            EXPECT_EQ(english, MethodName(method, 0));
            EXPECT_EQ(russian, MethodName(method, 1));
            ++method;
            continue;
        }
        EXPECT_EQ(prop, Prop(english));
        EXPECT_EQ(prop, Prop(russian));
        EXPECT_EQ(english, PropName(prop, 0));
        EXPECT_EQ(russian, PropName(prop, 1));
        BOOL readable = -1, writable = -1;
        EXPECT_EQ(S_OK, Ext->IsPropReadable(prop, &readable));
        EXPECT_EQ(S_OK, Ext->IsPropWritable(prop, &writable));
        EXPECT_EQ(1, readable);
        EXPECT_EQ(m.Writable ? 1 : 0, writable);
        ++prop;
    }
    EXPECT_EQ(methods, method);
    EXPECT_EQ(props, prop);
}

TEST_F(Host1C, FindsNamesInAnyLetterCase) {
    for (const wchar_t* name : {L"BaudRate", L"bAUDrATE", L"Скорость", L"сКОРОСТЬ"})
        EXPECT_EQ(0, Prop(name)) << Narrow(name);
    for (const wchar_t* name : {L"Connect", L"CONNECT", L"УстановитьСвязь", L"установитьсвязь"})
        EXPECT_EQ(InheritedCount + 2, Method(name)) << Narrow(name);

    // Unknown names, a name of the other registry, near misses and an empty name.
    for (const wchar_t* name : {L"Baud", L"Connect", L"Скоростьь", L""}) {
        long index = 5;
        EXPECT_EQ(S_FALSE, Ext->FindProp(TBstr(name).B, &index)) << Narrow(name);
        EXPECT_EQ(-1, index) << Narrow(name);
    }
    // The inherited entries have no Russian name: an empty name must not find them.
    for (const wchar_t* name : {L"BaudRate", L"УстановитьСвяз", L""}) {
        long index = 5;
        EXPECT_EQ(S_FALSE, Ext->FindMethod(TBstr(name).B, &index)) << Narrow(name);
        EXPECT_EQ(-1, index) << Narrow(name);
    }
}

TEST_F(Host1C, MethodQueriesHoldForEveryMethod) {
    const long connect = Method(L"Connect"), aboutBox = Method(L"ОПрограмме");
    EXPECT_EQ(L"УстановитьСвязь", MethodName(connect, 2));
    EXPECT_EQ(L"УстановитьСвязь", MethodName(connect, -1));
    EXPECT_EQ(L"Скорость", PropName(Prop(L"BaudRate"), 7));

    long params = -1;
    BOOL hasResult = -1;
    EXPECT_EQ(S_OK, Ext->GetNParams(connect, &params));
    EXPECT_EQ(0, params);
    EXPECT_EQ(S_OK, Ext->HasRetVal(aboutBox, &hasResult));
    EXPECT_EQ(1, hasResult) << "AboutBox";

    TVar value;
    V_VT(&value.V) = VT_BSTR;
    V_BSTR(&value.V) = SysAllocString(L"left over");
    EXPECT_EQ(S_OK, Ext->GetParamDefValue(connect, 0, &value.V));
    EXPECT_EQ(VT_EMPTY, V_VT(&value.V));
}

// An index outside a registry is the host's mistake: S_FALSE, and nothing reaches the object.
TEST_F(Host1C, IndexOutOfRangeAnswersFalseWithoutACall) {
    long props = 0, methods = 0;
    ASSERT_EQ(S_OK, Ext->GetNProps(&props));
    ASSERT_EQ(S_OK, Ext->GetNMethods(&methods));
    for (long bad : {-1L, props}) {
        SCOPED_TRACE(bad);
        TBstr name(L"stale");
        EXPECT_EQ(S_FALSE, Ext->GetPropName(bad, 0, &name.B));
        EXPECT_EQ(L"", name.Text());
        BOOL mark = 42;
        EXPECT_EQ(S_FALSE, Ext->IsPropReadable(bad, &mark));
        EXPECT_EQ(S_FALSE, Ext->IsPropWritable(bad, &mark));
        EXPECT_EQ(42, mark);
        TVar value(99);
        EXPECT_EQ(S_FALSE, Ext->GetPropVal(bad, &value.V));
        EXPECT_EQ(VT_EMPTY, V_VT(&value.V));
        EXPECT_EQ(S_FALSE, Ext->SetPropVal(bad, &value.V));
    }
    for (long bad : {-1L, methods}) {
        SCOPED_TRACE(bad);
        TBstr name(L"stale");
        EXPECT_EQ(S_FALSE, Ext->GetMethodName(bad, 1, &name.B));
        EXPECT_EQ(L"", name.Text());
        long params = 42;
        EXPECT_EQ(S_FALSE, Ext->GetNParams(bad, &params));
        EXPECT_EQ(42, params);
        EXPECT_EQ(S_FALSE, Ext->CallAsProc(bad, nullptr));
        TVar result(12345);
        EXPECT_EQ(S_FALSE, Ext->CallAsFunc(bad, &result.V, nullptr));
        EXPECT_EQ(12345, V_I4(&result.V));
    }
}

// ---------------------------------------------------------------- values through IDispatch

VARTYPE HostType(TMemberType type) {
    switch (type) {
    case TMemberType::Long:
    case TMemberType::Boolean:
        return VT_I4;
    case TMemberType::String:
        return VT_BSTR;
    case TMemberType::Date:
        return VT_DATE;
    case TMemberType::Variant:
        return VT_ARRAY | VT_UI1;
    }
    return VT_EMPTY;
}

TEST_F(Host1C, PropertiesReadInTheHostsTypes) {
    for (const TMember& m : Members()) {
        if (m.IsProperty()) {
            TVar value;
            Get(Cp1251ToWide(m.Name), HostType(m.Type), value);
        }
    }
    EXPECT_EQ(2400, GetLong(L"СкоростьПоУмолчанию"));
    EXPECT_EQ(L"Ошибок нет", GetText(L"ОписаниеРезультата"));

    // A boolean reads back as 1, not -1.
    Set(L"замокдвериоткрыт", 1);
    EXPECT_EQ(1, GetLong(L"DoorLockOpened"));
    Set(L"DoorLockOpened", 0);
    EXPECT_EQ(0, GetLong(L"ЗамокДвериОткрыт"));

    // The dispatch layer's own answer comes back: ResultCode has no setter.
    TVar value(5);
    const HRESULT hr = Ext->SetPropVal(Prop(L"ResultCode"), &value.V);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    EXPECT_EQ(0, GetLong(L"Результат"));
}

// ---------------------------------------------------------------- with the board

class Host1CBoard : public Host1C {
protected:
    void SetUp() override {
        Host1C::SetUp();
        if (HasFatalFailure())
            return;
        Set(L"НомерПорта", BoardPort);
        Set(L"Скорость", 2400);
    }
};

TEST_F(Host1CBoard, ReadsTheBoardsStatusByHostCalls) {
    EXPECT_EQ(0, Call(L"ReadStatus")) << Narrow(GetText(L"ResultDescription"));
    EXPECT_EQ(BoardSerial, GetLong(L"серийныйномер"));
    EXPECT_EQ(0, GetLong(L"ResultCode"));

    EXPECT_EQ(0, Call(L"ВключитьWatchDog"));
    EXPECT_EQ(0, Call(L"ReadStatus"));
    EXPECT_EQ(1, GetLong(L"ТаймерЗапущен"));
    EXPECT_EQ(0, Call(L"DisableWatchDog"));
    EXPECT_EQ(0, Call(L"ПолучитьСостояние"));
    EXPECT_EQ(0, GetLong(L"WatchDogEnabled"));
}

// The relays set by Russian names are the board's: a second object, which never saw the
// values, reads them back from the board.
TEST_F(Host1CBoard, RussianNamesSetTheBoardsRelays) {
    TPtr<IUnknown> other = CreateObject();
    TPtr<ITrelmo> reader;
    ASSERT_TRUE(other.Get());
    ASSERT_EQ(S_OK, other->QueryInterface(IID_ITrelmo, reader.Put()));
    reader->put_PortNumber(BoardPort);
    reader->put_BaudRate(2400);

    for (long relays : {0x5A, 0x00, 0xA5}) {
        SCOPED_TRACE(relays);
        Set(L"СостояниеРеле", relays);
        EXPECT_EQ(0, Call(L"УстановитьСостоянияРеле"));
        EXPECT_EQ(S_OK, Ext->CallAsProc(Method(L"закрытьпорт"), nullptr));

        LONG code = -1, read = -1;
        EXPECT_EQ(S_OK, reader->ReadRelayStatus(&code));
        EXPECT_EQ(0, code);
        EXPECT_EQ(S_OK, reader->get_RelayStatus(&read));
        EXPECT_EQ(relays, read);
        reader->ClosePort(&code);
    }
}
} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!ReadBoardArguments(argc, argv, "test_1c_host", BoardPort, BoardSerial))
        return 2;
    // The host loads the library itself.
    GetClassObject = LoadClassObjectEntry();
    if (!GetClassObject)
        return 3;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
