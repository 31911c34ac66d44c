// The board's wire protocol: frame layout, checksum, command and error codes, speed codes.
// Shared by the driver and the virtual board, so both sides speak from one definition.
#pragma once

#include <cstdint>
#include <string>

// Byte strings: raw bytes on the wire, text in code page 1251.
using TBytes = std::string;

const std::uint8_t STX = 0x02;
const std::size_t FrameHeaderSize = 4; // STX, sequence number, 0, length
const std::size_t MaxPayloadSize = 255;
const std::size_t BlockSize = 64; // firmware and dump blocks

// Command codes, from the command list.
enum : std::uint8_t {
#define COMMAND(Name, Code, Text, MinAnswer, Answer) cmd##Name = Code,
#include "untCommandList.h"
};

// The board's error codes (answer payload byte 1).
enum : std::uint8_t {
    errNone = 0x00,
    errBadParams = 0x33,
    errNotSupported = 0x37,
    errInternal = 0x39,
    errTableUndefined = 0x5D,
    errProgramMode = 0x73,
    errMainMode = 0x74,
    errBoardSettings = 0x75,
    errTableSettings = 0x76,
    errNotEditable = 0x7A,
    errLengthField = 0x7E,
    errUndefined = 0x7F,
    errBlocked = 0xEB,
};

// Memory areas of the dump commands.
enum : std::uint8_t {
    memData = 0x30,
    memProgram = 0x31,
    memEeprom = 0x32,
};

// Flag bits of the status bytes.
enum : std::uint8_t {
    pfMBPowerState = 0x01,
    pfButtonPowerPressed = 0x02,
    pfButtonResetPressed = 0x04,
    pfDoorLockOpened = 0x08,
    pfTurnOnDelay = 0x10,
    pfTurnOffDelay = 0x20,
    pfRelayToggled = 0x40,
    pfMBPowerSensor = 0x80,
    pf2WatchDogEnabled = 0x01,
};

// Motherboard button codes of command 0x76.
enum : std::uint8_t {
    btnCodeReset = 2,
    btnCodePower = 4,
    btnCodeLongPower = 8,
    btnCodeDelayPower = 16,
    btnCodeCancelDelayPower = 32,
};

// XOR of all bytes, starting from 0.
std::uint8_t FrameCrc(const TBytes& data);
// A complete frame: STX, sequence, 0, length, payload, checksum. The payload must not
// exceed MaxPayloadSize bytes.
TBytes BuildFrame(std::uint8_t sequence, const TBytes& payload);
// Two upper-case hex digits and one blank per byte, the trailing blank included.
std::string StrToHex(const TBytes& data);
// The same appended to `text`: a text cleared and refilled keeps its room, no allocation.
void AppendHex(std::string& text, const TBytes& data);

// Line speed <-> speed code of commands 0x14 and 0x15. Unknown rates give code 2,
// unknown codes give 2400.
int BaudRateToCode(int baudRate);
int CodeToBaudRate(int code);
bool IsValidBaudRate(int baudRate);

// Little-endian 16-bit words.
void PutWord(TBytes& data, std::uint16_t value);
std::uint16_t GetWord(const TBytes& data, std::size_t offset);
