// The main window: the page list, the page area, the result fields of the last operation, and
// the About, properties and close buttons.
#pragma once

#include "untForm.h"
#include "testprog/untPage.h"

#include <memory>

class TfmMain : public TForm {
public:
    TfmMain();
    ~TfmMain() override;

    // After the window exists: the command line's "-AUTO" shows the last page.
    void FormCreate(const std::wstring& firstArgument);
    int PageIndex() const { return ShownPage; }

protected:
    void OnInit() override;
    bool OnCommand(int id, int code) override;
    void OnTimer(UINT_PTR id) override;
    void OnClose() override;
    void OnSize(int width, int height) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void AddPage(std::unique_ptr<TPage> page);
    void UpdatePageList();
    void ShowPage(int index);
    void UpdateResult();
    void ClearResult();
    void ListBoxClick();
    void btnAboutClick();
    void btnPropertiesClick();
    void FitToPages();
    SIZE PageInset() const;
    int FrameExtra() const;
    int ResultsHeight() const;
    void FormDestroy();
    void PressDefaultButton();
    bool ForwardKeyPress(int id);

    std::unique_ptr<TPages> Pages;
    std::unique_ptr<TForm> Panel;
    int ShownPage = -1;
    SIZE PageArea{0, 0};
    SIZE MinimumSize{0, 0};
};
