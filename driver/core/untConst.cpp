#include "driver/core/untConst.h"

#include "untCodePage.h"
#include "untError.h"
#include "untProtocol.h"

#include <cstdio>
#include <map>

const char* const RegKeyParam = "Software\\Norvik\\Trelmo\\Trelmo\\Param";

namespace {
const std::map<int, std::string>& DeviceErrors() {
    static const std::map<int, std::string> texts = {
        {errNone, Ansi("Ошибок нет")},
        {errBadParams, Ansi("Некорректные параметры в команде")},
        {errNotSupported, Ansi("Команда не поддерживается в данной реализации")},
        {errInternal, Ansi("Внутренняя ошибка программного обеспечения")},
        {errTableUndefined, Ansi("Таблица не определена")},
        {errProgramMode, Ansi("Команда не поддерживается в режиме программирования")},
        {errMainMode, Ansi("Команда не поддерживается в основном режиме")},
        {errBoardSettings, Ansi("Команда не поддерживается при текущих установках на плате")},
        {errTableSettings, Ansi("Команда не поддерживается при текущих настройках в таблицах")},
        {errNotEditable, Ansi("Поле не редактируется")},
        {errLengthField, Ansi("Неверный параметр в поле длины команды")},
        {errUndefined, Ansi("Неопределённая ошибка выполнения")},
        {errBlocked, Ansi("Отработка команд заблокирована ")},
    };
    return texts;
}

const std::string* Find(const std::map<int, std::string>& table, int key) {
    auto it = table.find(key);
    return it == table.end() ? nullptr : &it->second;
}
} // namespace

// Every answer comes here: the text of an unknown code is made only when it is needed.
std::string DeviceErrorText(int code) {
    if (const std::string* text = Find(DeviceErrors(), code))
        return *text;
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, "%d (%Xh)", code, static_cast<unsigned>(code));
    return Ansi("Ошибка устройства: ") + suffix;
}

std::string MemoryTypeName(int memoryType) {
    switch (memoryType) {
    case memData:
        return Ansi("Память данных Dorvel");
    case memProgram:
        return Ansi("Память программ Dorvel");
    case memEeprom:
        return Ansi("Память EEPROM ATMEGA128 Dorvel");
    default:
        return Ansi("Неправильный код области памяти");
    }
}
