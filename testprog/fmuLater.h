// A page that a later version of the program brings: it stands in the list with its caption
// and says so.
#pragma once

#include "untPage.h"

class TfmLater : public TPage {
public:
    TfmLater(const wchar_t* formName, const wchar_t* caption);

protected:
    void OnInit() override;
};
