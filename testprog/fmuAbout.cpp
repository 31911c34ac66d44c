#include "fmuAbout.h"

#include "tools/fmuAbout.h"
#include "tools/untComCall.h"
#include "untConst.h"
#include "untVInfo.h"

void ShowProgramAbout(HWND owner, ITrelmo* driver) {
    ShowAboutBox(owner, AppTitle,
                 {L"Версия теста: " + GetFileVersion(),
                  L"Версия драйвера: " + GetString(driver, &ITrelmo::get_Version)});
}
