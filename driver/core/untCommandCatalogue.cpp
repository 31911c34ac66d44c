#include "untCommandCatalogue.h"

#include "untCodePage.h"
#include "driver/core/untConst.h"
#include "untDriver.h"

#include <array>

void TAnswerReader::Need(std::size_t count) const {
    if (Data.size() - At < count)
        RaiseDriverError(ecBadLength);
}

std::uint8_t TAnswerReader::Byte() {
    Need(1);
    return static_cast<std::uint8_t>(Data[At++]);
}

std::uint16_t TAnswerReader::Word() {
    Need(2);
    const std::uint16_t value = GetWord(Data, At);
    At += 2;
    return value;
}

std::uint32_t TAnswerReader::Number(std::size_t size) {
    Need(size);
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size && i < 4; ++i)
        value |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(Data[At + i])) << (8 * i);
    At += size;
    return value;
}

TBytes TAnswerReader::Text(std::size_t size) {
    Need(size);
    TBytes text = Data.substr(At, size);
    At += size;
    return text;
}

TBytes TAnswerReader::Rest() {
    TBytes rest = AtEnd() ? TBytes() : Data.substr(At);
    At = Data.size();
    return rest;
}

// The decoders are the driver's own: this table is its friend.
const std::vector<TBoardCommand>& BoardCommands() {
    using D = TDriver;
    static const std::vector<TBoardCommand> commands = {
        {cmdReadStatus, Ansi("Запрос состояния устройства"), 11, &D::DecodeStatus},
        {cmdSetExchangeParam, Ansi("Установка параметров обмена"), 0, nullptr},
        {cmdReadExchangeParam, Ansi("Чтение параметров обмена"), 2, &D::DecodeExchangeParam},
        {cmdWriteTable, Ansi("Запись поля таблицы"), 0, nullptr},
        // An answer without data leaves the value as it was.
        {cmdReadTable, Ansi("Чтение поля таблицы"), 0, &D::DecodeTableValue},
        {cmdInitTables, Ansi("Инициализация таблиц настроек начальными значениями"), 0, nullptr},
        {cmdReadTableStruct, Ansi("Запрос структуры таблицы"), 43, &D::DecodeTableStruct},
        // A number field's limits follow, as long as its size says.
        {cmdReadFieldStruct, Ansi("Запрос структуры поля"), 42, &D::DecodeFieldStruct},
        {cmdButtons, Ansi("Управление кнопками на материнской платы"), 0, nullptr},
        {cmdRelaySet, Ansi("Установить состояния реле"), 1, &D::DecodeRelays},
        {cmdRelayPulse, Ansi("Импульс состояния реле"), 1, &D::DecodeRelays},
        {cmdRelayRead, Ansi("Получить состояния реле"), 1, &D::DecodeRelays},
        {cmdWatchDog, Ansi("Управление сторожевым таймером"), 1, &D::DecodeWatchDog},
        {cmdWatchDogReset, Ansi("Сброс сторожевого таймера"), 2, &D::DecodeWatchDogReset},
        {cmdDoorLock, Ansi("Открыть замок двери"), 1, &D::DecodeDoorLock},
        {cmdMBPower, Ansi("Управление питанием материнской платы"), 1, &D::DecodeMBPower},
        {cmdEnterProgramMode, Ansi("Переход в режим программирования и начало прошивки"), 0,
         nullptr},
        {cmdWriteProgramBlock, Ansi("Запись очередного блока прошивки"), 0, nullptr},
        {cmdExitProgramMode, Ansi("Завершение прошивки"), 0, nullptr},
        {cmdReadMode, Ansi("Получить режим работы"), 1, &D::DecodeMode},
        {cmdTestDevice, Ansi("Тест устройства"), 0, nullptr},
        {cmdResetDevice, Ansi("Сброс устройства"), 0, nullptr},
        {cmdReadDumpSize, Ansi("Запрос размера дампа"), 2, &D::DecodeDumpSize},
        {cmdReadDump, Ansi("Запрос блока данных"), 2 + BlockSize, &D::DecodeDump},
        // The description runs to the first NUL or the end.
        {cmdReadDeviceMetrics, Ansi("Получить тип устройства"), 6, &D::DecodeDeviceMetrics},
    };
    return commands;
}

// Every answer looks its command up: by index, not by search.
const TBoardCommand* FindBoardCommand(int code) {
    static const std::array<const TBoardCommand*, 256> index = [] {
        std::array<const TBoardCommand*, 256> byCode{};
        for (const TBoardCommand& command : BoardCommands())
            byCode[command.Code] = &command;
        return byCode;
    }();
    return code >= 0 && code < 256 ? index[static_cast<std::size_t>(code)] : nullptr;
}

std::string CommandName(int code) {
    const TBoardCommand* command = FindBoardCommand(code);
    return command ? command->Name : Ansi("Неизвестная команда");
}
