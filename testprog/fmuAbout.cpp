#include "testprog/fmuAbout.h"

#include "driver/widgets/fmuAbout.h"
#include "untComCall.h"
#include "testprog/untConst.h"
#include "testprog/untVInfo.h"

void ShowProgramAbout(HWND owner, ITrelmo* driver) {
    ShowAboutBox(owner, AppTitle,
                 {L"Версия теста: " + GetFileVersion(),
                  L"Версия драйвера: " + GetString(driver, &ITrelmo::get_Version)});
}
