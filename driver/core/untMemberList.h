// The members of the automation interface ITrelmo, one row each, in the interface's order: the
// order of the vtable and of Members(). Everything that names a member is generated from these
// rows: the interface body of the type library (driver/automation/ITrelmo.idl.h), the COM
// object's vtable methods (oleMain.h/.cpp) and the member table (untMembers.cpp), so a name,
// identifier, type or Russian name is written here and nowhere else.
//
//   MEMBER(Name, DispId, Access, Type, "Russian name", Accessor)  a member of the driver core
//   OWN_MEMBER(Name, DispId, Access, Type, "Russian name")        the automation object's own
//
// Access: Method (returns its result code), Procedure (returns nothing), ReadOnly or ReadWrite
// (a property). Type: Long, Boolean, String, Variant or Date, as TMemberType; a method's is Long.
// The Russian name, UTF-8 here, is the member's name in 1C:Enterprise and its help string.
// Accessor, over D = TDriver: a method `&D::Name`, the driver's operation, which its row also
// declares (int Name(), in untDriver.h); a property a field `&D::Field`,
// a getter `&D::GetX` (read-only), or a pair `By(&D::GetX, &D::SetX)`. Values convert as the
// type says (Long from and to integers, keeping the low 16 bits of a word field).
//
// Adding a member is adding one row at the end, with the next identifier: the interface is a
// published contract, so existing rows keep their places. A driver method needs its operation
// defined (untDriverOps.cpp), a driver property nothing else; an own member needs its method written in oleMain.cpp (the build fails until it is). The
// published type library in tests/windows/data gets the same member with the new version, or
// win64.typelib.reference reports the difference.
//
// Define MEMBER (and OWN_MEMBER, which otherwise becomes MEMBER with the accessor `Own`) before
// including this file; it undefines both. A parameter called Name also replaces `.Name` in the
// macro's body.
#ifndef OWN_MEMBER
#define OWN_MEMBER(Name, DispId, Access, Type, Russian)                                            \
    MEMBER(Name, DispId, Access, Type, Russian, Own)
#endif

OWN_MEMBER(AboutBox, -552, Procedure, Long, "ОПрограмме")
MEMBER(ClosePort, 1, Method, Long, "ЗакрытьПорт", &D::ClosePort)
MEMBER(Connect, 2, Method, Long, "УстановитьСвязь", &D::Connect)
MEMBER(DecodeParamFlags, 3, Method, Long, "ДекодироватьФлаги", &D::DecodeParamFlags)
MEMBER(DisableWatchDog, 4, Method, Long, "ВыключитьWatchDog", &D::DisableWatchDog)
MEMBER(Disconnect, 5, Method, Long, "РазорватьСвязь", &D::Disconnect)
MEMBER(EnableWatchDog, 6, Method, Long, "ВключитьWatchDog", &D::EnableWatchDog)
MEMBER(EnterProgramMode, 7, Method, Long, "ПерейтиВРежимПрограммирования", &D::EnterProgramMode)
MEMBER(ExecuteCommand, 8, Method, Long, "ВыполнитьКоманду", &D::ExecuteCommand)
MEMBER(ExitProgramMode, 9, Method, Long, "ВыйтиИзРежимаПрограммирования", &D::ExitProgramMode)
MEMBER(InitTables, 10, Method, Long, "ИнициализироватьТаблицы", &D::InitTables)
MEMBER(LoadRegParams, 11, Method, Long, "ЗагрузитьПараметры", &D::LoadRegParams)
MEMBER(MBPowerStateOff, 12, Method, Long, "ВыключитьПитаниеМП", &D::MBPowerStateOff)
MEMBER(MBPowerStateOn, 13, Method, Long, "ВключитьПитаниеМП", &D::MBPowerStateOn)
MEMBER(OpenDoorLock, 14, Method, Long, "ОткрытьЗамокДвери", &D::OpenDoorLock)
MEMBER(OpenPort, 15, Method, Long, "ОткрытьПорт", &D::OpenPort)
MEMBER(ReadDeviceMetrics, 16, Method, Long, "ПолучитьПараметрыУстройства", &D::ReadDeviceMetrics)
MEMBER(ReadDump, 17, Method, Long, "ПолучитьДамп", &D::ReadDump)
MEMBER(ReadDumpSize, 18, Method, Long, "ПолучитьРазмерДампа", &D::ReadDumpSize)
MEMBER(ReadExchangeParam, 19, Method, Long, "ПолучитьПараметрыОбмена", &D::ReadExchangeParam)
MEMBER(ReadFieldStructure, 20, Method, Long, "ПолучитьСтруктуруПоля", &D::ReadFieldStructure)
MEMBER(ReadMemoryTypeDescription, 21, Method, Long, "ПолучитьОписаниеТипаПамяти",
       &D::ReadMemoryTypeDescription)
MEMBER(ReadMode, 22, Method, Long, "ПолучитьРежимРаботы", &D::ReadMode)
MEMBER(ReadRelayStatus, 23, Method, Long, "ПолучитьСостояниеРеле", &D::ReadRelayStatus)
MEMBER(ReadStatus, 24, Method, Long, "ПолучитьСостояние", &D::ReadStatus)
MEMBER(ReadTable, 25, Method, Long, "ПрочитатьТаблицу", &D::ReadTable)
MEMBER(ReadTableStruct, 26, Method, Long, "ПолучитьСтруктуруТаблицы", &D::ReadTableStruct)
MEMBER(RelaySetStatus, 27, Method, Long, "УстановитьСостоянияРеле", &D::RelaySetStatus)
MEMBER(ResetDevice, 28, Method, Long, "СбросУстройства", &D::ResetDevice)
MEMBER(ResetWatchDog, 29, Method, Long, "СброситьСторожевойТаймер", &D::ResetWatchDog)
MEMBER(SaveRegParams, 30, Method, Long, "СохранитьПараметры", &D::SaveRegParams)
MEMBER(SetDefaults, 31, Method, Long, "ПараметрыПоУмолчанию", &D::SetDefaults)
MEMBER(SetExchangeParam, 32, Method, Long, "УстановитьПараметрыОбмена", &D::SetExchangeParam)
OWN_MEMBER(ShowLogDlg, 33, Method, Long, "НастройкиЛогФайла")
OWN_MEMBER(ShowProperties, 34, Method, Long, "СтраницаСвойств")
OWN_MEMBER(ShowSearchDlg, 35, Method, Long, "ДиалогПоиска")
OWN_MEMBER(ShowTablesDlg, 36, Method, Long, "ДиалогТаблиц")
MEMBER(TestDevice, 37, Method, Long, "ТестУстройства", &D::TestDevice)
MEMBER(ToggleButtonStatus, 38, Method, Long, "УправлениеКнопкамиНаПлате", &D::ToggleButtonStatus)
MEMBER(ToggleRelayStatus, 39, Method, Long, "ИмпульсСостоянияРеле", &D::ToggleRelayStatus)
OWN_MEMBER(UpdateSoftware, 40, Method, Long, "ЗаменитьПО")
MEMBER(WriteProgramBlock, 41, Method, Long, "ЗаписатьБлокПрограммы", &D::WriteProgramBlock)
MEMBER(WriteTable, 42, Method, Long, "ЗаписатьТаблицу", &D::WriteTable)
MEMBER(BaudRate, 43, ReadWrite, Long, "Скорость", By(&D::GetBaudRate, &D::SetBaudRate))
MEMBER(BlockCount, 44, ReadOnly, Long, "КоличествоБлоков", &D::BlockCount)
MEMBER(BlockNumber, 45, ReadWrite, Long, "НомерБлока", &D::BlockNumber)
MEMBER(ButtonPowerPressed, 46, ReadOnly, Boolean, "НажатаКнопкаПитания", &D::ButtonPowerPressed)
MEMBER(ButtonResetPressed, 47, ReadOnly, Boolean, "НажатаКнопкаСброса", &D::ButtonResetPressed)
MEMBER(ButtonStatus, 48, ReadWrite, Long, "СостояниеКнопок", &D::ButtonStatus)
MEMBER(ComLogFile, 49, ReadWrite, String, "ФайлЛога", By(&D::GetComLogFile, &D::SetComLogFile))
MEMBER(CommandHex, 50, ReadWrite, String, "КомандаHex", &D::CommandHex)
MEMBER(DataBlock, 51, ReadWrite, String, "БлокДанных", By(&D::GetDataBlock, &D::SetDataBlock))
MEMBER(DataBlockHex, 52, ReadWrite, String, "БлокДанныхHex",
       By(&D::GetDataBlockHex, &D::SetDataBlockHex))
MEMBER(DataBlockSafeArray, 53, ReadWrite, Variant, "БлокДанныхSafeArray",
       By(&D::GetDataBlock, &D::SetDataBlock))
MEMBER(DeviceBaudRate, 54, ReadWrite, Long, "СкоростьУстройства", &D::DeviceBaudRate)
MEMBER(DeviceTimeout, 55, ReadWrite, Long, "ТаймаутУстройства", &D::DeviceTimeout)
MEMBER(DoorLockOpened, 56, ReadWrite, Boolean, "ЗамокДвериОткрыт",
       By(&D::GetDoorLockOpened, &D::SetDoorLockOpened))
MEMBER(ExecutionTime, 57, ReadOnly, Long, "ВремяВыполнения", &D::GetExecutionTime)
MEMBER(FieldCount, 58, ReadOnly, Long, "КоличествоПолей", &D::FieldCount)
MEMBER(FieldMaxValue, 59, ReadWrite, Long, "МаксимальноеЗначениеПоля", &D::FieldMaxValue)
MEMBER(FieldMinValue, 60, ReadWrite, Long, "МинимальноеЗначениеПоля", &D::FieldMinValue)
MEMBER(FieldName, 61, ReadOnly, String, "НазваниеПоля", &D::FieldName)
MEMBER(FieldNumber, 62, ReadWrite, Long, "НомерПоля", &D::FieldNumber)
MEMBER(FieldSize, 63, ReadWrite, Long, "РазмерПоля", &D::FieldSize)
MEMBER(FieldType, 64, ReadWrite, Long, "ТипПоля", &D::FieldType)
MEMBER(FieldValue, 65, ReadWrite, String, "ЗначениеПоля", &D::FieldValue)
MEMBER(Input, 66, ReadOnly, String, "Принято", &D::GetInput)
MEMBER(LogCommands, 67, ReadWrite, Boolean, "ЗаписыватьКоманды",
       By(&D::GetLogCommands, &D::SetLogCommands))
MEMBER(LogMethods, 68, ReadWrite, Boolean, "ЗаписыватьМетоды",
       By(&D::GetLogMethods, &D::SetLogMethods))
MEMBER(LogOn, 69, ReadWrite, Boolean, "ВестиЛог", By(&D::GetLogOn, &D::SetLogOn))
MEMBER(MBPowerSensor, 70, ReadOnly, Boolean, "НаличиеНапряженияНаМатеринскойПлате",
       &D::MBPowerSensor)
MEMBER(MBPowerState, 71, ReadOnly, Boolean, "ПитаниеНаМатеринскойПлате", &D::MBPowerState)
MEMBER(MemoryType, 72, ReadWrite, Long, "ТипПамяти", &D::MemoryType)
MEMBER(MemoryTypeDescription, 73, ReadOnly, String, "ОписаниеТипаПамяти", &D::MemoryTypeDescription)
MEMBER(Mode, 74, ReadOnly, Long, "РежимРаботы", &D::Mode)
MEMBER(ModeDescription, 75, ReadOnly, String, "ОписаниеРежимаРаботы", &D::ModeDescription)
MEMBER(Output, 76, ReadOnly, String, "Передано", &D::GetOutput)
MEMBER(ParamFlags, 77, ReadWrite, Long, "ФлагиНастроек", &D::ParamFlags)
MEMBER(ParamFlags2, 78, ReadWrite, Long, "ФлагиНастроек2", &D::ParamFlags2)
OWN_MEMBER(ParentWnd, 79, ReadWrite, Long, "РодительскоеОкно")
MEMBER(PortNumber, 80, ReadWrite, Long, "НомерПорта", By(&D::GetPortNumber, &D::SetPortNumber))
MEMBER(RelayStatus, 81, ReadWrite, Long, "СостояниеРеле", &D::RelayStatus)
MEMBER(RelayToggled, 82, ReadOnly, Boolean, "ВыполняетсяИмпульс", &D::RelayToggled)
MEMBER(ReservFlag1, 83, ReadOnly, Boolean, "ФлагБлокировокРезервный1", &D::ReservFlag1)
MEMBER(ReservFlag2, 84, ReadOnly, Boolean, "ФлагБлокировокРезервный2", &D::ReservFlag2)
MEMBER(ReservFlag3, 85, ReadOnly, Boolean, "ФлагБлокировокРезервный3", &D::ReservFlag3)
MEMBER(ReservFlag4, 86, ReadOnly, Boolean, "ФлагБлокировокРезервный4", &D::ReservFlag4)
MEMBER(ResultCode, 87, ReadOnly, Long, "Результат", &D::GetResultCode)
MEMBER(ResultDescription, 88, ReadOnly, String, "ОписаниеРезультата", &D::GetResultDescription)
MEMBER(RowCount, 89, ReadOnly, Long, "КоличествоСтрок", &D::RowCount)
MEMBER(RowNumber, 90, ReadWrite, Long, "НомерРяда", &D::RowNumber)
MEMBER(SerialNumber, 91, ReadOnly, Long, "СерийныйНомер", &D::SerialNumber)
MEMBER(SoftBuild, 92, ReadOnly, Long, "СборкаПО", &D::SoftBuild)
MEMBER(SoftDate, 93, ReadOnly, Date, "ДатаПО", &D::SoftDate)
MEMBER(SoftDateStr, 94, ReadOnly, String, "ДатаПОСтрока", &D::SoftDateStr)
MEMBER(SoftDay, 95, ReadOnly, Long, "ДеньПО", &D::SoftDay)
MEMBER(SoftMonth, 96, ReadOnly, Long, "МесяцПО", &D::SoftMonth)
MEMBER(SoftVersion, 97, ReadOnly, String, "ВерсияПО", &D::SoftVersion)
MEMBER(SoftYear, 98, ReadOnly, Long, "ГодПО", &D::SoftYear)
MEMBER(TableName, 99, ReadOnly, String, "ИмяТаблицы", &D::TableName)
MEMBER(TableNumber, 100, ReadWrite, Long, "НомерТаблицы", &D::TableNumber)
MEMBER(TestNumber, 101, ReadWrite, Long, "НомерТеста", &D::TestNumber)
MEMBER(Timeout, 102, ReadWrite, Long, "Таймаут", By(&D::GetTimeout, &D::SetTimeout))
MEMBER(ToggleTime, 103, ReadWrite, Long, "ВремяИмпульса", &D::ToggleTime)
MEMBER(TurnOffDelay, 104, ReadOnly, Boolean, "ЗадержкаВыключения", &D::TurnOffDelay)
MEMBER(TurnOnDelay, 105, ReadOnly, Boolean, "ЗадержкаВключения", &D::TurnOnDelay)
MEMBER(UCodePage, 106, ReadOnly, Long, "УКодоваяСтраница", &D::UCodePage)
MEMBER(UDescription, 107, ReadOnly, String, "УОписаниеУстройства", &D::UDescription)
MEMBER(UMajorProtocolVersion, 108, ReadOnly, Long, "УВерсияПротокола", &D::UMajorProtocolVersion)
MEMBER(UMajorType, 109, ReadOnly, Long, "УТипУстройства", &D::UMajorType)
MEMBER(UMinorProtocolVersion, 110, ReadOnly, Long, "УПодверсияПротокола", &D::UMinorProtocolVersion)
MEMBER(UMinorType, 111, ReadOnly, Long, "УПодтипУстройства", &D::UMinorType)
MEMBER(UModel, 112, ReadOnly, Long, "УМодельУстройства", &D::UModel)
OWN_MEMBER(Version, 113, ReadOnly, String, "ВерсияДрайвера")
MEMBER(WatchDogEnabled, 114, ReadOnly, Boolean, "ТаймерЗапущен", &D::WatchDogEnabled)
MEMBER(CommandTimeout, 115, ReadWrite, Long, "ТаймаутКоманды",
       By(&D::GetCommandTimeout, &D::SetCommandTimeout))
MEMBER(DefaultTimeout, 116, ReadOnly, Long, "ТаймаутБайтаПоУмолчанию", &D::GetDefaultTimeout)
MEMBER(DefaultCommandTimeout, 117, ReadOnly, Long, "ТаймаутКомандыПоУмолчанию",
       &D::GetDefaultCommandTimeout)
MEMBER(DefaultBaudRate, 118, ReadOnly, Long, "СкоростьПоУмолчанию", &D::GetDefaultBaudRate)
MEMBER(DefaultPortNumber, 119, ReadOnly, Long, "НомерПортаПоУмолчанию", &D::GetDefaultPortNumber)

#undef MEMBER
#undef OWN_MEMBER
