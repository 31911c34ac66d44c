// Page 2, "Параметры обмена": the board's exchange parameters, its built-in tests and the
// driver's port.
#pragma once

#include "testprog/untPage.h"

class TfmParam : public TPage {
public:
    TfmParam();

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;

private:
    void btnGetExchangeParamClick();
    void btnSetExchangeParamClick();
    void btnTestDeviceClick();
    void btnPortClick(int id, HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*));
    // The number in an up-down's edit, limited to the up-down's range.
    int UpDownValue(int editId, int upDownId) const;
    void SetUpDownValue(int editId, int upDownId, long value);
};
