#include "untPortMap.h"

#include "untSettingsStore.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <limits.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/stat.h>

const char* const RegKeyPorts = "Software\\Norvik\\Trelmo\\Trelmo\\Ports";

namespace {
struct TFamily {
    const char* prefix;
    int first, count;
};
const TFamily Families[] = {{"/dev/ttyS", 1, 32}, {"/dev/ttyUSB", 33, 32}, {"/dev/ttyACM", 65, 32}};

std::string PortName(int number) {
    return "COM" + std::to_string(number);
}

// The number a device path has by the fixed rules, or 0.
int NumberOfDevice(const std::string& path) {
    for (const TFamily& f : Families) {
        const std::string prefix = f.prefix;
        if (path.compare(0, prefix.size(), prefix) != 0 || path.size() == prefix.size())
            continue;
        const std::string digits = path.substr(prefix.size());
        if (digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const int index = std::atoi(digits.c_str());
        if (index < f.count)
            return f.first + index;
    }
    return 0;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// ttyS nodes exist for every possible UART; only those whose type is known have one.
bool HasHardware(const std::string& ttyName) {
    if (ttyName.compare(0, 4, "ttyS") != 0)
        return Exists("/sys/class/tty/" + ttyName + "/device");
    std::ifstream type("/sys/class/tty/" + ttyName + "/type");
    int value = 0;
    return type >> value && value != 0;
}

std::vector<std::string> ListDir(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.')
                names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void Add(std::vector<TSerialPortInfo>& ports, int number, const std::string& device) {
    if (number <= 0)
        return;
    for (const TSerialPortInfo& p : ports)
        if (p.Number == number)
            return;
    ports.push_back({PortName(number), number, device});
}
} // namespace

std::string PortMapDevice(int portNumber) {
    TSettingsKey key;
    if (key.OpenRead(RegKeyPorts) && key.ValueExists(PortName(portNumber)))
        return key.ReadString(PortName(portNumber));
    for (const TFamily& f : Families)
        if (portNumber >= f.first && portNumber < f.first + f.count)
            return f.prefix + std::to_string(portNumber - f.first);
    return "";
}

std::vector<TSerialPortInfo> PortMapList() {
    std::vector<TSerialPortInfo> ports;
    TSettingsKey key;
    if (key.OpenRead(RegKeyPorts)) {
        for (const std::string& name : key.ValueNames()) {
            const std::string digits = name.size() > 3 ? name.substr(3) : "";
            if (name.compare(0, 3, "COM") != 0 || digits.empty() || digits.size() > 6 ||
                digits.find_first_not_of("0123456789") != std::string::npos)
                continue;
            try {
                Add(ports, std::atoi(digits.c_str()), key.ReadString(name));
            } catch (...) {
                // a value of another type maps nothing
            }
        }
    }
    const std::string byId = "/dev/serial/by-id/";
    for (const std::string& name : ListDir(byId)) {
        char target[PATH_MAX];
        if (realpath((byId + name).c_str(), target))
            Add(ports, NumberOfDevice(target), byId + name);
    }
    for (const std::string& name : ListDir("/dev")) {
        const std::string path = "/dev/" + name;
        if (NumberOfDevice(path) > 0 && HasHardware(name))
            Add(ports, NumberOfDevice(path), path);
    }
    std::sort(ports.begin(), ports.end(), [](const TSerialPortInfo& a, const TSerialPortInfo& b) {
        return a.Number < b.Number;
    });
    return ports;
}

void PortMapSet(int portNumber, const std::string& device) {
    TSettingsKey key;
    if (!key.OpenCreate(RegKeyPorts))
        throw std::runtime_error("cannot create the port map");
    if (device.empty())
        key.DeleteValue(PortName(portNumber));
    else
        key.WriteString(PortName(portNumber), device);
}
