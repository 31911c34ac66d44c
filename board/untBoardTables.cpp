#include "untBoardTables.h"

#include "untCodePage.h"

#include <algorithm>

namespace {

const std::uint32_t MaxSigned = 2147483647;

TFieldDef Number(const char* name, std::uint8_t size, std::uint32_t minValue,
                 std::uint32_t maxValue, bool readOnly = false) {
    return {Ansi(name), TFieldType::Number, size, minValue, maxValue, readOnly};
}

TFieldDef String(const char* name, std::uint8_t size, bool readOnly = false) {
    return {Ansi(name), TFieldType::String, size, 0, 0, readOnly};
}

std::vector<TTableDef> Definitions() {
    return {
        {Ansi("Общие параметры"),
         1,
         {Number("Период сторожевого таймера, с", 2, 10, 3600),
          Number("Задержка выключения питания, с", 1, 1, 255),
          Number("Задержка включения питания, с", 1, 1, 255),
          Number("Время открытия замка, с", 1, 1, 60),
          Number("Время нажатия RESET, мс", 2, 50, 5000),
          Number("Время нажатия POWER, мс", 2, 50, 5000),
          Number("Время длинного нажатия POWER, мс", 2, 1000, 10000),
          Number("Наработка, ч", 4, 0, MaxSigned, true), String("Название киоска", 32)}},
        {Ansi("Реле"),
         8,
         {String("Название", 20), Number("Начальное состояние", 1, 0, 1),
          Number("Время импульса, мс", 2, 10, 60000)}},
        {Ansi("Журнал событий"),
         24,
         {Number("Время, с", 4, 0, MaxSigned, true), Number("Код события", 1, 0, 255, true),
          String("Описание", 32, true)}},
        {Ansi("Связь"),
         1,
         {Number("Код скорости обмена", 1, 2, 8), Number("Таймаут байта, мс", 1, 1, 255)}},
        {Ansi("Доступ"),
         4,
         {String("Пользователь", 16), Number("Пароль", 4, 0, 99999999),
          Number("ПИН-код", 2, 0, 9999), Number("Уровень доступа", 1, 0, 3)}},
    };
}

std::uint32_t Decode(const TBytes& value) {
    std::uint32_t number = 0;
    for (std::size_t i = std::min<std::size_t>(value.size(), 4); i-- > 0;)
        number = number << 8 | static_cast<unsigned char>(value[i]);
    return number;
}

TBytes Encode(std::uint32_t number, std::size_t size) {
    TBytes value(size, '\0');
    for (std::size_t i = 0; i < size && i < 4; ++i)
        value[i] = static_cast<char>(number >> (8 * i));
    return value;
}

} // namespace

TBoardTables::TBoardTables(std::uint8_t speedCode, std::uint8_t byteTimeoutMs)
    : Defs(Definitions()) {
    for (const TTableDef& def : Defs) {
        std::vector<TBytes> cells;
        for (std::size_t row = 0; row < def.rowCount; ++row)
            for (const TFieldDef& field : def.fields)
                cells.emplace_back(field.size, '\0');
        Cells.push_back(std::move(cells));
    }
    FillInitialValues(speedCode, byteTimeoutMs);
    Initial = Cells;
}

void TBoardTables::FillInitialValues(std::uint8_t speedCode, std::uint8_t byteTimeoutMs) {
    const std::uint32_t general[] = {60, 30, 5, 5, 200, 500, 5000, 0};
    for (std::size_t field = gfWatchdogPeriod; field <= gfOperatingHours; ++field)
        SetNumber(tblGeneral, 0, field, general[field]);
    SetText(tblGeneral, 0, gfKioskName, Ansi("Киоск 1"));

    const char* relays[] = {"Модем",     "Считыватель карт", "Сейф", "Принтер",
                            "Монитор 1", "Монитор 2",        "Звук", "Резерв"};
    const std::uint32_t relayOn[] = {1, 1, 0, 1, 1, 1, 1, 0};
    for (std::size_t row = 0; row < 8; ++row) {
        SetText(tblRelays, row, rfName, Ansi(relays[row]));
        SetNumber(tblRelays, row, rfInitialState, relayOn[row]);
        SetNumber(tblRelays, row, rfPulseTime, 1000);
    }

    SetNumber(tblLink, 0, lfSpeedCode, speedCode);
    SetNumber(tblLink, 0, lfByteTimeout, byteTimeoutMs);

    const char* users[] = {"Администратор", "Инженер", "Инкассатор", "Оператор"};
    const std::uint32_t passwords[] = {30, 20, 10, 1};
    const std::uint32_t pins[] = {1234, 2345, 3456, 4567};
    for (std::size_t row = 0; row < 4; ++row) {
        SetText(tblAccess, row, afUser, Ansi(users[row]));
        SetNumber(tblAccess, row, afPassword, passwords[row]);
        SetNumber(tblAccess, row, afPin, pins[row]);
        SetNumber(tblAccess, row, afLevel, static_cast<std::uint32_t>(3 - row));
    }
}

std::uint8_t TBoardTables::CheckAddress(std::size_t table, std::size_t row,
                                        std::size_t field) const {
    if (table >= Defs.size())
        return errTableUndefined;
    if (row >= RowCount(table) || field >= Defs[table].fields.size())
        return errBadParams;
    return errNone;
}

std::uint8_t TBoardTables::CheckField(std::size_t table, std::size_t field) const {
    if (table >= Defs.size())
        return errTableUndefined;
    return field < Defs[table].fields.size() ? errNone : errBadParams;
}

TBytes& TBoardTables::Cell(std::size_t table, std::size_t row, std::size_t field) {
    return Cells.at(table).at(row * Defs.at(table).fields.size() + field);
}

const TBytes& TBoardTables::Read(std::size_t table, std::size_t row, std::size_t field) const {
    return Cells.at(table).at(row * Defs.at(table).fields.size() + field);
}

std::uint8_t TBoardTables::Write(std::size_t table, std::size_t row, std::size_t field,
                                 const TBytes& value) {
    const std::uint8_t address = CheckAddress(table, row, field);
    if (address != errNone)
        return address;
    const TFieldDef& def = Defs[table].fields[field];
    if (def.readOnly)
        return errNotEditable;
    if (value.size() != def.size)
        return errBadParams;
    if (def.type == TFieldType::Number) {
        const std::uint32_t number = Decode(value);
        if (number < def.minValue || number > def.maxValue)
            return errBadParams;
    }
    Cell(table, row, field) = value;
    return errNone;
}

std::uint32_t TBoardTables::Number(std::size_t table, std::size_t row, std::size_t field) const {
    return Decode(Read(table, row, field));
}

void TBoardTables::SetNumber(std::size_t table, std::size_t row, std::size_t field,
                             std::uint32_t value) {
    TBytes& cell = Cell(table, row, field);
    cell = Encode(value, cell.size());
}

void TBoardTables::SetText(std::size_t table, std::size_t row, std::size_t field,
                           const std::string& text) {
    TBytes& cell = Cell(table, row, field);
    const std::size_t size = cell.size();
    cell = text.substr(0, size);
    cell.resize(size, '\0');
}

void TBoardTables::AddEvent(std::uint32_t seconds, std::uint8_t code, const std::string& text) {
    for (std::size_t row = Defs[tblEventLog].rowCount - 1; row > 0; --row)
        for (std::size_t field = efTime; field <= efText; ++field)
            Cell(tblEventLog, row, field) = Cell(tblEventLog, row - 1, field);
    SetNumber(tblEventLog, 0, efTime, std::min(seconds, MaxSigned));
    SetNumber(tblEventLog, 0, efCode, code);
    SetText(tblEventLog, 0, efText, text);
}

TBytes TBoardTables::Image() const {
    TBytes image;
    for (const std::vector<TBytes>& table : Cells)
        for (const TBytes& cell : table)
            image += cell;
    return image;
}
