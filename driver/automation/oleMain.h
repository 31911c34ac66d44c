// TTrelmo: the automation object behind the class Trelmo, an ActiveX control invisible at
// run time, over exactly one driver core. Every member returns S_OK: failures reach the
// caller only as result codes (ResultCode, ResultDescription).
#pragma once

#include "TrelmoLib_TLB.h"
#include "untDriver.h"
#include "untMembers.h"
#include "untModule.h"

#include <ocidl.h>
#include <windows.h>

#include <memory>

class TOleControl;

// The ITrelmo members the driver core answers, in the interface's order: METHOD(Name) for a
// method, GETTER(Type, Name) for a read-only property, PROPERTY(Type, Name) for a writable one.
// The dialog members, ParentWnd and Version belong to the object itself.
#define TRELMO_DRIVER_MEMBERS(METHOD, GETTER, PROPERTY)                                            \
    METHOD(ClosePort)                                                                              \
    METHOD(Connect)                                                                                \
    METHOD(DecodeParamFlags)                                                                       \
    METHOD(DisableWatchDog)                                                                        \
    METHOD(Disconnect)                                                                             \
    METHOD(EnableWatchDog)                                                                         \
    METHOD(EnterProgramMode)                                                                       \
    METHOD(ExecuteCommand)                                                                         \
    METHOD(ExitProgramMode)                                                                        \
    METHOD(InitTables)                                                                             \
    METHOD(LoadRegParams)                                                                          \
    METHOD(MBPowerStateOff)                                                                        \
    METHOD(MBPowerStateOn)                                                                         \
    METHOD(OpenDoorLock)                                                                           \
    METHOD(OpenPort)                                                                               \
    METHOD(ReadDeviceMetrics)                                                                      \
    METHOD(ReadDump)                                                                               \
    METHOD(ReadDumpSize)                                                                           \
    METHOD(ReadExchangeParam)                                                                      \
    METHOD(ReadFieldStructure)                                                                     \
    METHOD(ReadMemoryTypeDescription)                                                              \
    METHOD(ReadMode)                                                                               \
    METHOD(ReadRelayStatus)                                                                        \
    METHOD(ReadStatus)                                                                             \
    METHOD(ReadTable)                                                                              \
    METHOD(ReadTableStruct)                                                                        \
    METHOD(RelaySetStatus)                                                                         \
    METHOD(ResetDevice)                                                                            \
    METHOD(ResetWatchDog)                                                                          \
    METHOD(SaveRegParams)                                                                          \
    METHOD(SetDefaults)                                                                            \
    METHOD(SetExchangeParam)                                                                       \
    METHOD(TestDevice)                                                                             \
    METHOD(ToggleButtonStatus)                                                                     \
    METHOD(ToggleRelayStatus)                                                                      \
    METHOD(WriteProgramBlock)                                                                      \
    METHOD(WriteTable)                                                                             \
    PROPERTY(LONG, BaudRate)                                                                       \
    GETTER(LONG, BlockCount)                                                                       \
    PROPERTY(LONG, BlockNumber)                                                                    \
    GETTER(VARIANT_BOOL, ButtonPowerPressed)                                                       \
    GETTER(VARIANT_BOOL, ButtonResetPressed)                                                       \
    PROPERTY(LONG, ButtonStatus)                                                                   \
    PROPERTY(BSTR, ComLogFile)                                                                     \
    PROPERTY(BSTR, CommandHex)                                                                     \
    PROPERTY(BSTR, DataBlock)                                                                      \
    PROPERTY(BSTR, DataBlockHex)                                                                   \
    PROPERTY(VARIANT, DataBlockSafeArray)                                                          \
    PROPERTY(LONG, DeviceBaudRate)                                                                 \
    PROPERTY(LONG, DeviceTimeout)                                                                  \
    PROPERTY(VARIANT_BOOL, DoorLockOpened)                                                         \
    GETTER(LONG, ExecutionTime)                                                                    \
    GETTER(LONG, FieldCount)                                                                       \
    PROPERTY(LONG, FieldMaxValue)                                                                  \
    PROPERTY(LONG, FieldMinValue)                                                                  \
    GETTER(BSTR, FieldName)                                                                        \
    PROPERTY(LONG, FieldNumber)                                                                    \
    PROPERTY(LONG, FieldSize)                                                                      \
    PROPERTY(LONG, FieldType)                                                                      \
    PROPERTY(BSTR, FieldValue)                                                                     \
    GETTER(BSTR, Input)                                                                            \
    PROPERTY(VARIANT_BOOL, LogCommands)                                                            \
    PROPERTY(VARIANT_BOOL, LogMethods)                                                             \
    PROPERTY(VARIANT_BOOL, LogOn)                                                                  \
    GETTER(VARIANT_BOOL, MBPowerSensor)                                                            \
    GETTER(VARIANT_BOOL, MBPowerState)                                                             \
    PROPERTY(LONG, MemoryType)                                                                     \
    GETTER(BSTR, MemoryTypeDescription)                                                            \
    GETTER(LONG, Mode)                                                                             \
    GETTER(BSTR, ModeDescription)                                                                  \
    GETTER(BSTR, Output)                                                                           \
    PROPERTY(LONG, ParamFlags)                                                                     \
    PROPERTY(LONG, ParamFlags2)                                                                    \
    PROPERTY(LONG, PortNumber)                                                                     \
    PROPERTY(LONG, RelayStatus)                                                                    \
    GETTER(VARIANT_BOOL, RelayToggled)                                                             \
    GETTER(VARIANT_BOOL, ReservFlag1)                                                              \
    GETTER(VARIANT_BOOL, ReservFlag2)                                                              \
    GETTER(VARIANT_BOOL, ReservFlag3)                                                              \
    GETTER(VARIANT_BOOL, ReservFlag4)                                                              \
    GETTER(LONG, ResultCode)                                                                       \
    GETTER(BSTR, ResultDescription)                                                                \
    GETTER(LONG, RowCount)                                                                         \
    PROPERTY(LONG, RowNumber)                                                                      \
    GETTER(LONG, SerialNumber)                                                                     \
    GETTER(LONG, SoftBuild)                                                                        \
    GETTER(DATE, SoftDate)                                                                         \
    GETTER(BSTR, SoftDateStr)                                                                      \
    GETTER(LONG, SoftDay)                                                                          \
    GETTER(LONG, SoftMonth)                                                                        \
    GETTER(BSTR, SoftVersion)                                                                      \
    GETTER(LONG, SoftYear)                                                                         \
    GETTER(BSTR, TableName)                                                                        \
    PROPERTY(LONG, TableNumber)                                                                    \
    PROPERTY(LONG, TestNumber)                                                                     \
    PROPERTY(LONG, Timeout)                                                                        \
    PROPERTY(LONG, ToggleTime)                                                                     \
    GETTER(VARIANT_BOOL, TurnOffDelay)                                                             \
    GETTER(VARIANT_BOOL, TurnOnDelay)                                                              \
    GETTER(LONG, UCodePage)                                                                        \
    GETTER(BSTR, UDescription)                                                                     \
    GETTER(LONG, UMajorProtocolVersion)                                                            \
    GETTER(LONG, UMajorType)                                                                       \
    GETTER(LONG, UMinorProtocolVersion)                                                            \
    GETTER(LONG, UMinorType)                                                                       \
    GETTER(LONG, UModel)                                                                           \
    GETTER(VARIANT_BOOL, WatchDogEnabled)                                                          \
    PROPERTY(LONG, CommandTimeout)                                                                 \
    GETTER(LONG, DefaultTimeout)                                                                   \
    GETTER(LONG, DefaultCommandTimeout)                                                            \
    GETTER(LONG, DefaultBaudRate)                                                                  \
    GETTER(LONG, DefaultPortNumber)

class TTrelmo : public ITrelmo, public IProvideClassInfo2 {
public:
    TTrelmo();
    virtual ~TTrelmo();
    TTrelmo(const TTrelmo&) = delete;
    TTrelmo& operator=(const TTrelmo&) = delete;

    // Runs once after construction: creates the driver core (which loads the settings).
    // Derived classes extend it and call this first.
    virtual void Initialize();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch, over the type information of the library's own type library
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override;

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
    STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

    // ITrelmo
    STDMETHODIMP AboutBox() override;
    STDMETHODIMP ShowProperties(LONG* Value) override;
    STDMETHODIMP ShowSearchDlg(LONG* Value) override;
    STDMETHODIMP ShowTablesDlg(LONG* Value) override;
    STDMETHODIMP UpdateSoftware(LONG* Value) override;
    STDMETHODIMP ShowLogDlg(LONG* Value) override;
    STDMETHODIMP get_ParentWnd(LONG* Value) override;
    STDMETHODIMP put_ParentWnd(LONG Value) override;
    STDMETHODIMP get_Version(BSTR* Value) override;
#define TRELMO_DECLARE_METHOD(Name) STDMETHODIMP Name(LONG* Value) override;
#define TRELMO_DECLARE_GETTER(Type, Name) STDMETHODIMP get_##Name(Type* Value) override;
#define TRELMO_DECLARE_PROPERTY(Type, Name)                                                        \
    TRELMO_DECLARE_GETTER(Type, Name) STDMETHODIMP put_##Name(Type Value) override;
    TRELMO_DRIVER_MEMBERS(TRELMO_DECLARE_METHOD, TRELMO_DECLARE_GETTER, TRELMO_DECLARE_PROPERTY)
#undef TRELMO_DECLARE_METHOD
#undef TRELMO_DECLARE_GETTER
#undef TRELMO_DECLARE_PROPERTY

    TDriver& Driver() {
        return *DriverCore;
    }
    HWND GetParentWnd() const {
        return ParentWindow;
    }
    // The library's own type library, loaded once from the module.
    static ITypeLib* TypeLibrary();

protected:
    // The interface of a derived class for `iid`, or nullptr; TTrelmo's QueryInterface asks
    // it first. The pointer is not yet AddRef'ed.
    virtual void* FindInterface(REFIID iid);
    // Hands an escaped failure to the driver's result, as the member guard does.
    void SafeCallException();

private:
    HRESULT CallMethod(const char* name, LONG* Value);
    HRESULT DialogMethod(const char* name, LONG* Value, void (TTrelmo::*open)());
    void OpenSearchDialog();
    void OpenFirmwareDialog();
    void OpenLogDialog();
    void OpenTablesDialog();
    TMemberValue Read(const char* name);
    void Write(const char* name, const TMemberValue& value);
    HRESULT GetProperty(const char* name, LONG* Value);
    HRESULT GetProperty(const char* name, VARIANT_BOOL* Value);
    HRESULT GetProperty(const char* name, BSTR* Value);
    HRESULT GetProperty(const char* name, DATE* Value);
    HRESULT GetProperty(const char* name, VARIANT* Value);
    HRESULT PutProperty(const char* name, LONG Value);
    HRESULT PutProperty(const char* name, VARIANT_BOOL Value);
    HRESULT PutProperty(const char* name, BSTR Value);
    HRESULT PutProperty(const char* name, VARIANT Value);

    LONG RefCount = 1;
    std::unique_ptr<TDriver> DriverCore;
    std::unique_ptr<TOleControl> Control;
    HWND ParentWindow = nullptr;
    ITypeInfo* DispatchInfo = nullptr;
};

