// Port numbers on POSIX. A per-user map in the settings store ties numbers to device paths
// (key "Software\Norvik\Trelmo\Trelmo\Ports", string values "COM5" = "/dev/ttyUSB0");
// unmapped numbers follow fixed rules: COMn is /dev/ttyS(n-1) for n up to 32, as Wine has
// it, then /dev/ttyUSB(n-33) up to 64 and /dev/ttyACM(n-65) up to 96.
#pragma once

#include "untSerialPort.h"

#include <string>
#include <vector>

extern const char* const RegKeyPorts;

std::string PortMapDevice(int portNumber);
// Mapped ports, /dev/serial/by-id, ttyS ports with hardware behind them, ttyUSB and ttyACM.
std::vector<TSerialPortInfo> PortMapList();
// Maps a number to a device; an empty path removes the mapping.
void PortMapSet(int portNumber, const std::string& device);
