// The board's commands, one row each, in code order:
//
//   COMMAND(Name, Code, "Name in the log", MinAnswer, Answer)
//
// Name gives the code's constant (cmdName, untProtocol.h) and, where the answer carries data
// (Answer is Data rather than None), the driver's decoder TDriver::DecodeName, declared from
// this row and defined beside its operation in driver/core/untDriverOps.cpp. MinAnswer is the
// answer data (after the code and the error byte) the decoder needs at least; a shorter answer
// fails as a wrong length before the decoder runs. The name, UTF-8 here, is the command's name
// in the protocol log.
//
// A new board command touches four production files: its row here; its operation and decoder
// in untDriverOps.cpp; its member row in driver/core/untMemberList.h (which also declares the
// operation); its answer in board/untBoardModel.cpp.
//
// Define COMMAND before including this file; it undefines it.

COMMAND(ReadStatus, 0x11, "Запрос состояния устройства", 11, Data)
COMMAND(SetExchangeParam, 0x14, "Установка параметров обмена", 0, None)
COMMAND(ReadExchangeParam, 0x15, "Чтение параметров обмена", 2, Data)
COMMAND(WriteTable, 0x1E, "Запись поля таблицы", 0, None)
// An answer without data leaves the value as it was.
COMMAND(ReadTable, 0x1F, "Чтение поля таблицы", 0, Data)
COMMAND(InitTables, 0x24, "Инициализация таблиц настроек начальными значениями", 0, None)
COMMAND(ReadTableStruct, 0x2D, "Запрос структуры таблицы", 43, Data)
// A number field's limits follow, as long as its size says.
COMMAND(ReadFieldStruct, 0x2E, "Запрос структуры поля", 42, Data)
COMMAND(Buttons, 0x76, "Управление кнопками на материнской платы", 0, None)
COMMAND(RelaySet, 0x77, "Установить состояния реле", 1, Data)
COMMAND(RelayPulse, 0x78, "Импульс состояния реле", 1, Data)
COMMAND(RelayRead, 0x79, "Получить состояния реле", 1, Data)
COMMAND(WatchDog, 0x7A, "Управление сторожевым таймером", 1, Data)
COMMAND(WatchDogReset, 0x7B, "Сброс сторожевого таймера", 2, Data)
COMMAND(DoorLock, 0x7C, "Открыть замок двери", 1, Data)
COMMAND(MBPower, 0x7D, "Управление питанием материнской платы", 1, Data)
COMMAND(EnterProgramMode, 0xC0, "Переход в режим программирования и начало прошивки", 0,
        None)
COMMAND(WriteProgramBlock, 0xC1, "Запись очередного блока прошивки", 0, None)
COMMAND(ExitProgramMode, 0xC2, "Завершение прошивки", 0, None)
COMMAND(ReadMode, 0xC3, "Получить режим работы", 1, Data)
COMMAND(TestDevice, 0xC5, "Тест устройства", 0, None)
COMMAND(ResetDevice, 0xC8, "Сброс устройства", 0, None)
COMMAND(ReadDumpSize, 0xD1, "Запрос размера дампа", 2, Data)
COMMAND(ReadDump, 0xD2, "Запрос блока данных", 2 + BlockSize, Data)
// The description runs to the first NUL or the end.
COMMAND(ReadDeviceMetrics, 0xFC, "Получить тип устройства", 6, Data)

#undef COMMAND
