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

// One row for each of the command list's; the decoders are the driver's own, so this table is
// its friend.
const std::vector<TBoardCommand>& BoardCommands() {
#define TRELMO_DECODER_Data(Name) &TDriver::Decode##Name
#define TRELMO_DECODER_None(Name) nullptr
    static const std::vector<TBoardCommand> commands = {
#define COMMAND(Name, Code, Text, MinAnswer, Answer)                                               \
    {cmd##Name, Ansi(Text), MinAnswer, TRELMO_DECODER_##Answer(Name)},
#include "untCommandList.h"
    };
#undef TRELMO_DECODER_Data
#undef TRELMO_DECODER_None
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
