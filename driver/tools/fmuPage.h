// The settings page's form: port, speed and time-outs of the driver object, the link test,
// the board's exchange settings and the way into the driver's other dialogs. It reaches the
// object only through ITrelmo, like any client.
#pragma once

#include "TrelmoLib_TLB.h"
#include "untDialog.h"
#include "untHolders.h"

#include <functional>
#include <string>

class TfmPage : public TDialog {
public:
    TfmPage();
    ~TfmPage() override;

    // The object the page works on; not owned. Null for none.
    void SetDriver(ITrelmo* driver) { Driver = driver; }
    // Called when the user changes a setting on the page.
    void SetOnModified(std::function<void()> handler) { OnModified = std::move(handler); }
    bool Modified() const { return IsModified; }
    // Whether the form's window exists (Create made it and nothing has destroyed it).
    bool Exists() const { return Alive; }

    // The object's settings into the controls; a failure shows in the result line.
    void LoadShowingFailure();
    // The controls' settings into the object, stored with SaveRegParams; false, with the
    // failure in the result line, when that failed.
    bool ApplyShowingFailure();

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    // Esc and Enter belong to the frame round the page.
    void OnClose() override {}

private:
    void Load();
    void Apply();
    void FitToControls();
    void MakeVersionBold();
    void SetVersion(const std::wstring& version);
    void Changed();
    // Runs a button's action; a failure ends it and shows in the result line.
    void Run(void (TfmPage::*action)(), bool busy = true);
    void ShowFailure(const std::wstring& text);
    void ShowResult();
    void ClearResult();
    LONG Integer(int id) const;

    void btnConnectClick();
    void btnSetBaudRateClick();
    void btnSearchClick();
    void btnTablesClick();
    void btnProgClick();
    void btnLogDlgClick();
    void btnAboutClick();
    void btnDefaultsClick();

    ITrelmo* Driver = nullptr;
    std::function<void()> OnModified;
    bool IsModified = false;
    bool Loading = false;
    bool Alive = false;
    TGdiObject<HFONT> BoldFont;             // the version label's, as long as the window lives
    LONG VersionLeft = 0, VersionRight = 0; // where the version's label may stand
};
