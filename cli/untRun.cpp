#include "untRun.h"

#include "untCodePage.h"
#include "untDriver.h"
#include "untValues.h"

namespace {
bool IsVersion(const TMember& member) {
    return member.IsProperty() && std::string(member.Name) == "Version";
}

TMemberValue ValueOf(const TMember& member, const TDriver& driver) {
    if (IsVersion(member))
        return std::string(ToolVersion());
    return member.Get(driver);
}
} // namespace

const char* ToolVersion() {
    return TRELMO_VERSION;
}

bool ToolHas(const TMember& member) {
    return member.OfDriver() || IsVersion(member);
}

std::string NotInTool(const TMember& member) {
    const std::string name = member.Name;
    if (member.IsProperty())
        return name + " is the owner window of the Windows driver's dialogs; " +
               "not available in the command-line tool";
    return name + " opens a dialog of the Windows driver; not available in the command-line tool";
}

int RunActions(TDriver& driver, const std::vector<TAction>& actions, std::ostream& out) {
    int status = exOk;
    for (const TAction& action : actions) {
        const TMember& member = *action.Member;
        switch (action.Kind) {
        case TActionKind::Call: {
            const int code = InvokeMethod(member, driver);
            out << action.Label() << ": " << code << ' '
                << OneLine(Cp1251ToUtf8(driver.GetResultDescription())) << '\n';
            if (code != 0)
                status = exFailed;
            break;
        }
        case TActionKind::Get:
            out << action.Label() << '=' << FormatValue(ValueOf(member, driver)) << '\n';
            break;
        case TActionKind::Set:
            member.Set(driver, action.Value);
            break;
        }
    }
    return status;
}
