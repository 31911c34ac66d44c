#include "driver/core/untConst.h"

#include "untCodePage.h"
#include "untError.h"

#include <cstdio>
#include <map>

const char* const RegKeyParam = "Software\\Norvik\\Trelmo\\Trelmo\\Param";

namespace {
const std::map<int, std::string>& CommandNames() {
    static const std::map<int, std::string> names = {
        {0x11, Ansi("Запрос состояния устройства")},
        {0x14, Ansi("Установка параметров обмена")},
        {0x15, Ansi("Чтение параметров обмена")},
        {0x1E, Ansi("Запись поля таблицы")},
        {0x1F, Ansi("Чтение поля таблицы")},
        {0x24, Ansi("Инициализация таблиц настроек начальными значениями")},
        {0x2D, Ansi("Запрос структуры таблицы")},
        {0x2E, Ansi("Запрос структуры поля")},
        {0x76, Ansi("Управление кнопками на материнской платы")},
        {0x77, Ansi("Установить состояния реле")},
        {0x78, Ansi("Импульс состояния реле")},
        {0x79, Ansi("Получить состояния реле")},
        {0x7A, Ansi("Управление сторожевым таймером")},
        {0x7B, Ansi("Сброс сторожевого таймера")},
        {0x7C, Ansi("Открыть замок двери")},
        {0x7D, Ansi("Управление питанием материнской платы")},
        {0xC0, Ansi("Переход в режим программирования и начало прошивки")},
        {0xC1, Ansi("Запись очередного блока прошивки")},
        {0xC2, Ansi("Завершение прошивки")},
        {0xC3, Ansi("Получить режим работы")},
        {0xC5, Ansi("Тест устройства")},
        {0xC8, Ansi("Сброс устройства")},
        {0xD1, Ansi("Запрос размера дампа")},
        {0xD2, Ansi("Запрос блока данных")},
        {0xFC, Ansi("Получить тип устройства")},
    };
    return names;
}

const std::map<int, std::string>& DeviceErrors() {
    static const std::map<int, std::string> texts = {
        {0x00, Ansi("Ошибок нет")},
        {0x33, Ansi("Некорректные параметры в команде")},
        {0x37, Ansi("Команда не поддерживается в данной реализации")},
        {0x39, Ansi("Внутренняя ошибка программного обеспечения")},
        {0x5D, Ansi("Таблица не определена")},
        {0x73, Ansi("Команда не поддерживается в режиме программирования")},
        {0x74, Ansi("Команда не поддерживается в основном режиме")},
        {0x75, Ansi("Команда не поддерживается при текущих установках на плате")},
        {0x76, Ansi("Команда не поддерживается при текущих настройках в таблицах")},
        {0x7A, Ansi("Поле не редактируется")},
        {0x7E, Ansi("Неверный параметр в поле длины команды")},
        {0x7F, Ansi("Неопределённая ошибка выполнения")},
        {0xEB, Ansi("Отработка команд заблокирована ")},
    };
    return texts;
}

const std::string* Find(const std::map<int, std::string>& table, int key) {
    auto it = table.find(key);
    return it == table.end() ? nullptr : &it->second;
}
} // namespace

std::string CommandName(int code) {
    const std::string* name = Find(CommandNames(), code);
    return name ? *name : Ansi("Неизвестная команда");
}

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
    case 0x30:
        return Ansi("Память данных Dorvel");
    case 0x31:
        return Ansi("Память программ Dorvel");
    case 0x32:
        return Ansi("Память EEPROM ATMEGA128 Dorvel");
    default:
        return Ansi("Неправильный код области памяти");
    }
}
