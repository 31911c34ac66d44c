// The board's settings tables: their structure, their values and the rules for writing them
// from the line. Table, row and field numbers are 0-based here, as on the wire.
#pragma once

#include "untProtocol.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TFieldType : std::uint8_t { Number = 0, String = 1 };

struct TFieldDef {
    std::string name; // code page 1251, at most 40 bytes
    TFieldType type = TFieldType::Number;
    std::uint8_t size = 1;      // bytes; numbers 1, 2 or 4
    std::uint32_t minValue = 0; // numbers only; kept within 0..2147483647 because the
    std::uint32_t maxValue = 0; // driver compares them as signed 32-bit values
    bool readOnly = false;
};

struct TTableDef {
    std::string name; // code page 1251, at most 40 bytes
    std::uint16_t rowCount = 1;
    std::vector<TFieldDef> fields;
};

// The tables the board's own logic reads.
enum TTableNumber : std::size_t {
    tblGeneral,
    tblRelays,
    tblEventLog,
    tblLink,
    tblAccess,
};

enum TGeneralField : std::size_t {
    gfWatchdogPeriod, // s
    gfPowerOffDelay,  // s
    gfTurnOnDelay,    // s
    gfLockTime,       // s
    gfResetPressTime, // ms
    gfPowerPressTime, // ms
    gfLongPressTime,  // ms
    gfOperatingHours, // read-only, kept by the board
    gfKioskName,
};

enum TRelayField : std::size_t { rfName, rfInitialState, rfPulseTime };
enum TEventField : std::size_t { efTime, efCode, efText };
enum TLinkField : std::size_t { lfSpeedCode, lfByteTimeout };
enum TAccessField : std::size_t { afUser, afPassword, afPin, afLevel };

const std::size_t NameSize = 40; // table and field names on the wire

class TBoardTables {
public:
    // The exchange parameters the "Связь" table starts with.
    TBoardTables(std::uint8_t speedCode, std::uint8_t byteTimeoutMs);

    std::size_t TableCount() const { return Defs.size(); }
    const TTableDef& Table(std::size_t table) const { return Defs.at(table); }
    // The rows the line sees: none in a table shown empty.
    std::uint16_t RowCount(std::size_t table) const {
        return table == EmptyTable ? 0 : Defs.at(table).rowCount;
    }
    // The table shows no rows on the line from now on; one past the last: none does.
    void ShowEmpty(std::size_t table) { EmptyTable = table; }
    // errNone for a field of a defined table, whatever its rows.
    std::uint8_t CheckField(std::size_t table, std::size_t field) const;

    // errNone, errTableUndefined past the last table, errBadParams for a row or field out of
    // range.
    std::uint8_t CheckAddress(std::size_t table, std::size_t row, std::size_t field) const;

    // The raw value, `size` bytes (strings zero-padded). The address must be valid.
    const TBytes& Read(std::size_t table, std::size_t row, std::size_t field) const;
    // A write from the line: errNotEditable for a read-only field, errBadParams for a value
    // that is not exactly the field's size or a number out of its range.
    std::uint8_t Write(std::size_t table, std::size_t row, std::size_t field, const TBytes& value);

    // The board's own access: no read-only or range rules.
    std::uint32_t Number(std::size_t table, std::size_t row, std::size_t field) const;
    void SetNumber(std::size_t table, std::size_t row, std::size_t field, std::uint32_t value);
    void SetText(std::size_t table, std::size_t row, std::size_t field, const std::string& text);

    // Puts an entry at the top of the event log; the oldest one drops off the end.
    void AddEvent(std::uint32_t seconds, std::uint8_t code, const std::string& text);

    // Every table back to its initial values.
    void Restore() { Cells = Initial; }

    // All values, table by table, row by row, field by field: what the EEPROM holds.
    TBytes Image() const;

private:
    TBytes& Cell(std::size_t table, std::size_t row, std::size_t field);
    void FillInitialValues(std::uint8_t speedCode, std::uint8_t byteTimeoutMs);

    std::vector<TTableDef> Defs;
    std::vector<std::vector<TBytes>> Cells; // per table: row * fieldCount + field
    std::vector<std::vector<TBytes>> Initial;
    std::size_t EmptyTable = static_cast<std::size_t>(-1);
};
