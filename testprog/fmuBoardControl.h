// Page 4, "Управление платой": the motherboard's buttons and +12 V, and the door lock. Each
// button is one driver call whose result the main window shows.
#pragma once

#include "testprog/untPage.h"

#include <functional>

class TfmBoardControl : public TPage {
public:
    TfmBoardControl();

protected:
    bool OnCommand(int id, int code) override;

private:
    using TMethod = HRESULT (STDMETHODCALLTYPE ITrelmo::*)(LONG*);
    // Sets the input (if any), calls the method, shows the result and focuses the button.
    void Execute(int id, const std::function<void(ITrelmo*)>& setInput, TMethod method);
    void ToggleButton(int id, long buttonStatus);
};
