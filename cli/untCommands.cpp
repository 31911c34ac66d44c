#include "untCommands.h"

#include "untPorts.h"

const std::vector<TCommand>& Commands() {
    static const std::vector<TCommand> commands = {
        {"ports", "[map N PATH | unmap N]",
         "list the serial ports (number, name, device); or, for this user, map port\n"
         "      number N to a device path (PortNumber=N then opens it), or remove the mapping",
         RunPorts},
    };
    return commands;
}

const TCommand* FindCommand(const std::string& name) {
    for (const TCommand& c : Commands())
        if (name == c.Name)
            return &c;
    return nullptr;
}
