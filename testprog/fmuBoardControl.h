// Page 4, "Управление платой": the motherboard's buttons and +12 V, and the door lock. Each
// button is one driver call whose result the main window shows.
#pragma once

#include "untPage.h"

class TfmBoardControl : public TPage {
public:
    TfmBoardControl();

protected:
    bool OnCommand(int id, int code) override;

private:
    void ToggleButton(int id, long buttonStatus);
    void CallMethod(int id, HRESULT (STDMETHODCALLTYPE ITrelmo::*method)(LONG*));
    // Ends a button's call: the result shown, the focus back on the button.
    void Done(int id);
};
