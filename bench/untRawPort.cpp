#include "untRawPort.h"

int RawExchange(TRawPort& port, const std::uint8_t* frame, std::size_t size,
                std::uint8_t (&answer)[MaxFrameSize]) {
    port.Purge();
    if (!port.Write(frame, size))
        return -1;
    if (port.Read(answer, 4) != 4 || answer[0] != 0x02)
        return -1;
    const std::size_t length = answer[3];
    if (port.Read(answer + 4, length + 1) != length + 1)
        return -1;
    std::uint8_t crc = 0;
    for (std::size_t i = 1; i < 4 + length; ++i)
        crc ^= answer[i];
    return crc == answer[4 + length] ? static_cast<int>(length) : -1;
}
