#include "fmuSelTbl.h"

#include "untCodePage.h"
#include "untDialog.h"
#include "untListView.h"
#include "untToolsRes.h"

namespace {
// Outer size in pixels.
const int MinWidth = 495, MinHeight = 322;
const int NumberWidth = 40, ButtonWidth = 100;

class TfmSelTbl : public TSizableDialog {
public:
    TfmSelTbl(TTables& tables, const std::wstring& caption)
        : TSizableDialog(IDD_SELTBL, MinWidth, MinHeight), Tables(tables), Caption(caption) {}

protected:
    void OnInit() override {
        SetWindowTextW(Handle(), Caption.c_str());
        List.Attach(Item(IDC_SELTBL_LIST), LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        List.AddColumn(0, L"№", Scaled(NumberWidth));
        List.AddColumn(1, L"Название", Scaled(200));
        for (int i = 0; i < Tables.Count(); ++i)
            AddRow(Tables[i]);
        if (Tables.Count() > 0)
            List.Select(0);
        SetGlyph(IDC_SELTBL_ALL, IDI_SELTBL_ALL);
        SetGlyph(IDC_SELTBL_NONE, IDI_SELTBL_NONE);
        OpenAtMinimumSize();
        Focus(IDC_SELTBL_LIST);
    }

    bool OnCommand(int id, int code) override {
        (void)code;
        switch (id) {
        case IDC_SELTBL_ALL:
        case IDC_SELTBL_NONE:
            List.CheckAll(id == IDC_SELTBL_ALL);
            return true;
        case IDOK:
            Apply();
            Close(IDOK);
            return true;
        case IDCANCEL:
            Close(IDCANCEL);
            return true;
        default:
            return false;
        }
    }

    void Layout() override {
        const int width = Scaled(ButtonWidth);
        const int left = PlaceBesideButtons(List.Handle(), width);
        const int top = StackButtons(left, Margin, width, {IDOK, IDCANCEL});
        StackButtons(left, top + 2 * Gap, width, {IDC_SELTBL_ALL, IDC_SELTBL_NONE});
        List.FillWidth(1, Scaled(NumberWidth));
    }

private:
    void AddRow(const TTable& table) {
        const int index = List.AddRow(std::to_wstring(table.Number), table.Number);
        List.SetCell(index, 1, Cp1251ToWide(table.Name));
        List.SetChecked(index, table.Selected);
    }

    void Apply() {
        for (int row = 0; row < List.RowCount(); ++row)
            if (TTable* table = Tables.ItemByNumber(static_cast<int>(List.Data(row))))
                table->Selected = List.Checked(row) && table->RowCount > 0 && table->FieldCount > 0;
    }

    TTables& Tables;
    std::wstring Caption;
    TListView List;
};
} // namespace

bool ShowTableSelection(HWND owner, TTables& tables, const std::wstring& caption) {
    TfmSelTbl form(tables, caption);
    return form.ShowModal(owner) == IDOK;
}
