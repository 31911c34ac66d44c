#include "fmuLater.h"

#include "untSkavinRes.h"

TfmLater::TfmLater(const wchar_t* formName, const wchar_t* caption)
    : TPage(IDD_LATER, formName, caption) {}

void TfmLater::OnInit() {
    SetText(IDC_LATER_TEXT, std::wstring(L"Страница \"") + Caption() +
                                L"\" появится в следующей версии программы.");
}
