#include "untMembers.h"

#include "untCodePage.h"
#include "untDriver.h"

#include <exception>
#include <type_traits>

namespace {
using T = TMemberType;
const bool ro = false;
const bool rw = true;

TMemberValue ToValue(int value) {
    return std::int32_t{value};
}
TMemberValue ToValue(std::uint16_t value) {
    return std::int32_t{value};
}
TMemberValue ToValue(bool value) {
    return value;
}
TMemberValue ToValue(const std::string& value) {
    return value;
}
TMemberValue ToValue(double value) {
    return value;
}

template <class V> V FromValue(const TMemberValue& value);
template <> int FromValue<int>(const TMemberValue& value) {
    return std::get<std::int32_t>(value);
}
// Word registers keep the low 16 bits.
template <> std::uint16_t FromValue<std::uint16_t>(const TMemberValue& value) {
    return static_cast<std::uint16_t>(std::get<std::int32_t>(value));
}
template <> bool FromValue<bool>(const TMemberValue& value) {
    return std::get<bool>(value);
}
template <> std::string FromValue<std::string>(const TMemberValue& value) {
    return std::get<std::string>(value);
}

struct TAccessors {
    TMemberGet Get;
    TMemberSet Set;
};

template <class V> TAccessors ReadField(V TDriver::*field) {
    return {[field](const TDriver& d) { return ToValue(d.*field); }, nullptr};
}

template <class V> TAccessors Field(V TDriver::*field) {
    return {[field](const TDriver& d) { return ToValue(d.*field); },
            [field](TDriver& d, const TMemberValue& v) { d.*field = FromValue<V>(v); }};
}

template <class R> TAccessors ReadBy(R (TDriver::*get)() const) {
    return {[get](const TDriver& d) { return ToValue((d.*get)()); }, nullptr};
}

template <class R, class A> TAccessors By(R (TDriver::*get)() const, void (TDriver::*set)(A)) {
    return {[get](const TDriver& d) { return ToValue((d.*get)()); },
            [set](TDriver& d, const TMemberValue& v) { (d.*set)(FromValue<std::decay_t<A>>(v)); }};
}

TAccessors ByteBlock() {
    return {
        [](const TDriver& d) { return TMemberValue{TByteBlock{d.GetDataBlock()}}; },
        [](TDriver& d, const TMemberValue& v) { d.SetDataBlock(std::get<TByteBlock>(v).Data); }};
}

// The automation object's own members.
TAccessors Owner() {
    return {};
}

TMember Method(const char* name, int id, const char* russian, int (TDriver::*operation)()) {
    return {name, Ansi(russian), TMemberKind::Method, id, T::Long, false, operation, {}, {}};
}

TMember Dialog(const char* name, int id, const char* russian) {
    return {name, Ansi(russian), TMemberKind::Method, id, T::Long, false, {}, {}, {}};
}

TMember Property(const char* name, int id, TMemberType type, bool writable, const char* russian,
                 TAccessors accessors) {
    return {name,
            Ansi(russian),
            TMemberKind::Property,
            id,
            type,
            writable,
            {},
            std::move(accessors.Get),
            std::move(accessors.Set)};
}

std::vector<TMember> BuildMembers() {
    using D = TDriver;
    return {
        Dialog("AboutBox", DispIdAboutBox, "ОПрограмме"),
        Method("ClosePort", 1, "ЗакрытьПорт", &D::ClosePort),
        Method("Connect", 2, "УстановитьСвязь", &D::Connect),
        Method("DecodeParamFlags", 3, "ДекодироватьФлаги", &D::DecodeParamFlags),
        Method("DisableWatchDog", 4, "ВыключитьWatchDog", &D::DisableWatchDog),
        Method("Disconnect", 5, "РазорватьСвязь", &D::Disconnect),
        Method("EnableWatchDog", 6, "ВключитьWatchDog", &D::EnableWatchDog),
        Method("EnterProgramMode", 7, "ПерейтиВРежимПрограммирования", &D::EnterProgramMode),
        Method("ExecuteCommand", 8, "ВыполнитьКоманду", &D::ExecuteCommand),
        Method("ExitProgramMode", 9, "ВыйтиИзРежимаПрограммирования", &D::ExitProgramMode),
        Method("InitTables", 10, "ИнициализироватьТаблицы", &D::InitTables),
        Method("LoadRegParams", 11, "ЗагрузитьПараметры", &D::LoadRegParams),
        Method("MBPowerStateOff", 12, "ВыключитьПитаниеМП", &D::MBPowerStateOff),
        Method("MBPowerStateOn", 13, "ВключитьПитаниеМП", &D::MBPowerStateOn),
        Method("OpenDoorLock", 14, "ОткрытьЗамокДвери", &D::OpenDoorLock),
        Method("OpenPort", 15, "ОткрытьПорт", &D::OpenPort),
        Method("ReadDeviceMetrics", 16, "ПолучитьПараметрыУстройства", &D::ReadDeviceMetrics),
        Method("ReadDump", 17, "ПолучитьДамп", &D::ReadDump),
        Method("ReadDumpSize", 18, "ПолучитьРазмерДампа", &D::ReadDumpSize),
        Method("ReadExchangeParam", 19, "ПолучитьПараметрыОбмена", &D::ReadExchangeParam),
        Method("ReadFieldStructure", 20, "ПолучитьСтруктуруПоля", &D::ReadFieldStructure),
        Method("ReadMemoryTypeDescription", 21, "ПолучитьОписаниеТипаПамяти",
               &D::ReadMemoryTypeDescription),
        Method("ReadMode", 22, "ПолучитьРежимРаботы", &D::ReadMode),
        Method("ReadRelayStatus", 23, "ПолучитьСостояниеРеле", &D::ReadRelayStatus),
        Method("ReadStatus", 24, "ПолучитьСостояние", &D::ReadStatus),
        Method("ReadTable", 25, "ПрочитатьТаблицу", &D::ReadTable),
        Method("ReadTableStruct", 26, "ПолучитьСтруктуруТаблицы", &D::ReadTableStruct),
        Method("RelaySetStatus", 27, "УстановитьСостоянияРеле", &D::RelaySetStatus),
        Method("ResetDevice", 28, "СбросУстройства", &D::ResetDevice),
        Method("ResetWatchDog", 29, "СброситьСторожевойТаймер", &D::ResetWatchDog),
        Method("SaveRegParams", 30, "СохранитьПараметры", &D::SaveRegParams),
        Method("SetDefaults", 31, "ПараметрыПоУмолчанию", &D::SetDefaults),
        Method("SetExchangeParam", 32, "УстановитьПараметрыОбмена", &D::SetExchangeParam),
        Dialog("ShowLogDlg", 33, "НастройкиЛогФайла"),
        Dialog("ShowProperties", 34, "СтраницаСвойств"),
        Dialog("ShowSearchDlg", 35, "ДиалогПоиска"),
        Dialog("ShowTablesDlg", 36, "ДиалогТаблиц"),
        Method("TestDevice", 37, "ТестУстройства", &D::TestDevice),
        Method("ToggleButtonStatus", 38, "УправлениеКнопкамиНаПлате", &D::ToggleButtonStatus),
        Method("ToggleRelayStatus", 39, "ИмпульсСостоянияРеле", &D::ToggleRelayStatus),
        Dialog("UpdateSoftware", 40, "ЗаменитьПО"),
        Method("WriteProgramBlock", 41, "ЗаписатьБлокПрограммы", &D::WriteProgramBlock),
        Method("WriteTable", 42, "ЗаписатьТаблицу", &D::WriteTable),

        Property("BaudRate", 43, T::Long, rw, "Скорость", By(&D::GetBaudRate, &D::SetBaudRate)),
        Property("BlockCount", 44, T::Long, ro, "КоличествоБлоков", ReadField(&D::BlockCount)),
        Property("BlockNumber", 45, T::Long, rw, "НомерБлока", Field(&D::BlockNumber)),
        Property("ButtonPowerPressed", 46, T::Boolean, ro, "НажатаКнопкаПитания",
                 ReadField(&D::ButtonPowerPressed)),
        Property("ButtonResetPressed", 47, T::Boolean, ro, "НажатаКнопкаСброса",
                 ReadField(&D::ButtonResetPressed)),
        Property("ButtonStatus", 48, T::Long, rw, "СостояниеКнопок", Field(&D::ButtonStatus)),
        Property("ComLogFile", 49, T::String, rw, "ФайлЛога",
                 By(&D::GetComLogFile, &D::SetComLogFile)),
        Property("CommandHex", 50, T::String, rw, "КомандаHex", Field(&D::CommandHex)),
        Property("DataBlock", 51, T::String, rw, "БлокДанных",
                 By(&D::GetDataBlock, &D::SetDataBlock)),
        Property("DataBlockHex", 52, T::String, rw, "БлокДанныхHex",
                 By(&D::GetDataBlockHex, &D::SetDataBlockHex)),
        Property("DataBlockSafeArray", 53, T::Variant, rw, "БлокДанныхSafeArray", ByteBlock()),
        Property("DeviceBaudRate", 54, T::Long, rw, "СкоростьУстройства",
                 Field(&D::DeviceBaudRate)),
        Property("DeviceTimeout", 55, T::Long, rw, "ТаймаутУстройства", Field(&D::DeviceTimeout)),
        Property("DoorLockOpened", 56, T::Boolean, rw, "ЗамокДвериОткрыт",
                 By(&D::GetDoorLockOpened, &D::SetDoorLockOpened)),
        Property("ExecutionTime", 57, T::Long, ro, "ВремяВыполнения", ReadBy(&D::GetExecutionTime)),
        Property("FieldCount", 58, T::Long, ro, "КоличествоПолей", ReadField(&D::FieldCount)),
        Property("FieldMaxValue", 59, T::Long, rw, "МаксимальноеЗначениеПоля",
                 Field(&D::FieldMaxValue)),
        Property("FieldMinValue", 60, T::Long, rw, "МинимальноеЗначениеПоля",
                 Field(&D::FieldMinValue)),
        Property("FieldName", 61, T::String, ro, "НазваниеПоля", ReadField(&D::FieldName)),
        Property("FieldNumber", 62, T::Long, rw, "НомерПоля", Field(&D::FieldNumber)),
        Property("FieldSize", 63, T::Long, rw, "РазмерПоля", Field(&D::FieldSize)),
        Property("FieldType", 64, T::Long, rw, "ТипПоля", Field(&D::FieldType)),
        Property("FieldValue", 65, T::String, rw, "ЗначениеПоля", Field(&D::FieldValue)),
        Property("Input", 66, T::String, ro, "Принято", ReadBy(&D::GetInput)),
        Property("LogCommands", 67, T::Boolean, rw, "ЗаписыватьКоманды",
                 By(&D::GetLogCommands, &D::SetLogCommands)),
        Property("LogMethods", 68, T::Boolean, rw, "ЗаписыватьМетоды",
                 By(&D::GetLogMethods, &D::SetLogMethods)),
        Property("LogOn", 69, T::Boolean, rw, "ВестиЛог", By(&D::GetLogOn, &D::SetLogOn)),
        Property("MBPowerSensor", 70, T::Boolean, ro, "НаличиеНапряженияНаМатеринскойПлате",
                 ReadField(&D::MBPowerSensor)),
        Property("MBPowerState", 71, T::Boolean, ro, "ПитаниеНаМатеринскойПлате",
                 ReadField(&D::MBPowerState)),
        Property("MemoryType", 72, T::Long, rw, "ТипПамяти", Field(&D::MemoryType)),
        Property("MemoryTypeDescription", 73, T::String, ro, "ОписаниеТипаПамяти",
                 ReadField(&D::MemoryTypeDescription)),
        Property("Mode", 74, T::Long, ro, "РежимРаботы", ReadField(&D::Mode)),
        Property("ModeDescription", 75, T::String, ro, "ОписаниеРежимаРаботы",
                 ReadField(&D::ModeDescription)),
        Property("Output", 76, T::String, ro, "Передано", ReadBy(&D::GetOutput)),
        Property("ParamFlags", 77, T::Long, rw, "ФлагиНастроек", Field(&D::ParamFlags)),
        Property("ParamFlags2", 78, T::Long, rw, "ФлагиНастроек2", Field(&D::ParamFlags2)),
        Property("ParentWnd", 79, T::Long, rw, "РодительскоеОкно", Owner()),
        Property("PortNumber", 80, T::Long, rw, "НомерПорта",
                 By(&D::GetPortNumber, &D::SetPortNumber)),
        Property("RelayStatus", 81, T::Long, rw, "СостояниеРеле", Field(&D::RelayStatus)),
        Property("RelayToggled", 82, T::Boolean, ro, "ВыполняетсяИмпульс",
                 ReadField(&D::RelayToggled)),
        Property("ReservFlag1", 83, T::Boolean, ro, "ФлагБлокировокРезервный1",
                 ReadField(&D::ReservFlag1)),
        Property("ReservFlag2", 84, T::Boolean, ro, "ФлагБлокировокРезервный2",
                 ReadField(&D::ReservFlag2)),
        Property("ReservFlag3", 85, T::Boolean, ro, "ФлагБлокировокРезервный3",
                 ReadField(&D::ReservFlag3)),
        Property("ReservFlag4", 86, T::Boolean, ro, "ФлагБлокировокРезервный4",
                 ReadField(&D::ReservFlag4)),
        Property("ResultCode", 87, T::Long, ro, "Результат", ReadBy(&D::GetResultCode)),
        Property("ResultDescription", 88, T::String, ro, "ОписаниеРезультата",
                 ReadBy(&D::GetResultDescription)),
        Property("RowCount", 89, T::Long, ro, "КоличествоСтрок", ReadField(&D::RowCount)),
        Property("RowNumber", 90, T::Long, rw, "НомерРяда", Field(&D::RowNumber)),
        Property("SerialNumber", 91, T::Long, ro, "СерийныйНомер", ReadField(&D::SerialNumber)),
        Property("SoftBuild", 92, T::Long, ro, "СборкаПО", ReadField(&D::SoftBuild)),
        Property("SoftDate", 93, T::Date, ro, "ДатаПО", ReadField(&D::SoftDate)),
        Property("SoftDateStr", 94, T::String, ro, "ДатаПОСтрока", ReadField(&D::SoftDateStr)),
        Property("SoftDay", 95, T::Long, ro, "ДеньПО", ReadField(&D::SoftDay)),
        Property("SoftMonth", 96, T::Long, ro, "МесяцПО", ReadField(&D::SoftMonth)),
        Property("SoftVersion", 97, T::String, ro, "ВерсияПО", ReadField(&D::SoftVersion)),
        Property("SoftYear", 98, T::Long, ro, "ГодПО", ReadField(&D::SoftYear)),
        Property("TableName", 99, T::String, ro, "ИмяТаблицы", ReadField(&D::TableName)),
        Property("TableNumber", 100, T::Long, rw, "НомерТаблицы", Field(&D::TableNumber)),
        Property("TestNumber", 101, T::Long, rw, "НомерТеста", Field(&D::TestNumber)),
        Property("Timeout", 102, T::Long, rw, "Таймаут", By(&D::GetTimeout, &D::SetTimeout)),
        Property("ToggleTime", 103, T::Long, rw, "ВремяИмпульса", Field(&D::ToggleTime)),
        Property("TurnOffDelay", 104, T::Boolean, ro, "ЗадержкаВыключения",
                 ReadField(&D::TurnOffDelay)),
        Property("TurnOnDelay", 105, T::Boolean, ro, "ЗадержкаВключения",
                 ReadField(&D::TurnOnDelay)),
        Property("UCodePage", 106, T::Long, ro, "УКодоваяСтраница", ReadField(&D::UCodePage)),
        Property("UDescription", 107, T::String, ro, "УОписаниеУстройства",
                 ReadField(&D::UDescription)),
        Property("UMajorProtocolVersion", 108, T::Long, ro, "УВерсияПротокола",
                 ReadField(&D::UMajorProtocolVersion)),
        Property("UMajorType", 109, T::Long, ro, "УТипУстройства", ReadField(&D::UMajorType)),
        Property("UMinorProtocolVersion", 110, T::Long, ro, "УПодверсияПротокола",
                 ReadField(&D::UMinorProtocolVersion)),
        Property("UMinorType", 111, T::Long, ro, "УПодтипУстройства", ReadField(&D::UMinorType)),
        Property("UModel", 112, T::Long, ro, "УМодельУстройства", ReadField(&D::UModel)),
        Property("Version", 113, T::String, ro, "ВерсияДрайвера", Owner()),
        Property("WatchDogEnabled", 114, T::Boolean, ro, "ТаймерЗапущен",
                 ReadField(&D::WatchDogEnabled)),
        Property("CommandTimeout", 115, T::Long, rw, "ТаймаутКоманды",
                 By(&D::GetCommandTimeout, &D::SetCommandTimeout)),
        Property("DefaultTimeout", 116, T::Long, ro, "ТаймаутБайтаПоУмолчанию",
                 ReadBy(&D::GetDefaultTimeout)),
        Property("DefaultCommandTimeout", 117, T::Long, ro, "ТаймаутКомандыПоУмолчанию",
                 ReadBy(&D::GetDefaultCommandTimeout)),
        Property("DefaultBaudRate", 118, T::Long, ro, "СкоростьПоУмолчанию",
                 ReadBy(&D::GetDefaultBaudRate)),
        Property("DefaultPortNumber", 119, T::Long, ro, "НомерПортаПоУмолчанию",
                 ReadBy(&D::GetDefaultPortNumber)),
    };
}

unsigned char Fold(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF))
        return static_cast<unsigned char>(c + 0x20);
    return c == 0xA8 ? 0xB8 : c; // Ё
}
} // namespace

const std::vector<TMember>& Members() {
    static const std::vector<TMember> members = BuildMembers();
    return members;
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

const TMember* FindMember(const std::string& name) {
    for (const TMember& m : Members())
        if (SameName(m.Name, name) || SameName(m.RussianName, name))
            return &m;
    return nullptr;
}

const TMember* FindMember(const std::string& name, TMemberKind kind) {
    for (const TMember& m : Members())
        if (m.Kind == kind && (SameName(m.Name, name) || SameName(m.RussianName, name)))
            return &m;
    return nullptr;
}

const TMember* FindMemberById(int dispId) {
    for (const TMember& m : Members())
        if (m.DispId == dispId)
            return &m;
    return nullptr;
}

int InvokeMethod(const TMember& method, TDriver& driver) {
    int value = 0;
    try {
        value = method.Call(driver);
    } catch (...) {
        return driver.HandleException(std::current_exception());
    }
    driver.GetLog().WriteMethod(method.Name);
    driver.GetLog().WriteMethodResult(static_cast<long>(value));
    return value;
}

const char* TypeName(TMemberType type) {
    switch (type) {
    case TMemberType::Long:
        return "long";
    case TMemberType::Boolean:
        return "boolean";
    case TMemberType::String:
        return "string";
    case TMemberType::Variant:
        return "variant";
    case TMemberType::Date:
        return "date";
    }
    return "";
}
