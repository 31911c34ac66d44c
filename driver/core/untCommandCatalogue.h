// The board's commands as the driver knows them, one row each of the command list
// (driver/link/untCommandList.h): code, name, the answer data its decoder needs at least, and
// the decoder that sets the driver's outputs from them. The command path decodes through this
// table, the log names commands from it, and the tests and fuzz targets walk its rows.
#pragma once

#include "untProtocol.h"

#include <cstdint>
#include <string>
#include <vector>

class TDriver;

// Reads an answer front to back. A read past the end raises the wrong-length result (-5), as
// a short answer must. The command path asks for the row's minimum before the decoder runs,
// so a decoder of a fixed layout may set outputs as it reads; one whose length depends on the
// data reads all of it before it sets any, so that a short answer changes nothing.
class TAnswerReader {
public:
    explicit TAnswerReader(const TBytes& answer) : Data(answer) {}

    bool AtEnd() const { return At >= Data.size(); }
    void Need(std::size_t count) const; // raises unless `count` bytes are left
    std::uint8_t Byte();
    std::uint16_t Word();                   // little-endian
    std::uint32_t Number(std::size_t size); // `size` bytes as GetNumber reads them
    TBytes Text(std::size_t size);          // `size` bytes as they came
    TBytes Rest();

private:
    const TBytes& Data;
    std::size_t At = 0;
};

using TAnswerDecoder = void (TDriver::*)(TAnswerReader& answer);

struct TBoardCommand {
    std::uint8_t Code;
    std::string Name;      // cp1251, as the log shows it
    std::size_t MinAnswer; // data bytes after the code and the error byte
    TAnswerDecoder Decode; // nullptr: the answer carries no data
};

const std::vector<TBoardCommand>& BoardCommands();
// nullptr for a code of no row.
const TBoardCommand* FindBoardCommand(int code);
// "Неизвестная команда" for a code of no row.
std::string CommandName(int code);
