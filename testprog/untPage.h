// The page framework: the manager that holds the pages and the one driver object they share,
// and the page base with the operation pattern every page button follows.
#pragma once

#include "TrelmoLib_TLB.h"
#include "untForm.h"
#include "untHolders.h"

#include <functional>
#include <memory>
#include <vector>

class TPage;

class TPages {
public:
    TPages() = default;
    ~TPages();
    TPages(const TPages&) = delete;
    TPages& operator=(const TPages&) = delete;

    const std::vector<TPage*>& Items() const { return Pages; }
    int Count() const { return static_cast<int>(Pages.size()); }
    TPage* Item(int index) const { return Pages[static_cast<std::size_t>(index)]; }
    // Takes ownership of a page (TPage::SetPages does the bookkeeping).
    void Add(std::unique_ptr<TPage> page);
    void Remove(TPage* page);

    // The driver object, created by the class identifier on first use; throws EOleError when
    // it cannot be created, and the next call tries again.
    ITrelmo* Driver();
    // Null until something has asked for the driver.
    ITrelmo* CreatedDriver() const { return DriverObject.Get(); }

    // Called when a page reports that an operation started or ended.
    std::function<void()> OnUpdate;
    void Update() const;

private:
    friend class TPage;
    std::vector<TPage*> Pages;
    std::vector<std::unique_ptr<TPage>> Owned;
    TComPtr<ITrelmo> DriverObject;
};

class TPage : public TForm {
public:
    TPage(int templateId, const wchar_t* formName, const wchar_t* caption);
    ~TPage() override;

    const wchar_t* Caption() const { return PageCaption; }
    TPages* Pages() const { return Manager; }
    // Moves the page to another manager's list (or out of any with nullptr).
    void SetPages(TPages* pages);
    ITrelmo* Driver() const;

    // Push buttons that are direct children of the page, but for its stop button, which only
    // a loop turns on; check boxes, edits and what sits inside a group are left alone.
    void EnableButtons(bool enabled);
    void ExecuteStarted() const;
    void ExecuteDone() const;

    // Each time the page becomes the one shown.
    virtual void PageShown() {}
    // A loop of the page is running (it pumps messages); the window must not go meanwhile.
    virtual bool Busy() const { return Looping; }
    virtual void RequestStop() {}

protected:
    // When the main window's result fields show the driver's last call.
    enum class TResultShown {
        Never, // or when the body says so
        AtEnd,
        FromStart, // at the start too
    };
    // How an operation shows on the page.
    struct TOperation {
        int Button; // focused again at the end; 0: the focus stays where the body left it
        TResultShown Result = TResultShown::AtEnd;
        bool ButtonsOff = true; // the page's own push buttons, meanwhile
        bool Loop = false;      // the body pumps messages: the page is Busy, its stop button on
    };

    // Every board operation of a page runs through here. The pattern: buttons off, the stop
    // button on for a loop, optionally the start notification, the body; then in every case
    // the stop button off, buttons on, focus back to the button, the end notification. A
    // failure of the body goes on to the program's default handler.
    void Operate(const TOperation& operation, const std::function<void()>& body);
    void Operate(int buttonId, bool notifyStart, const std::function<void()>& body) {
        Operate({buttonId, notifyStart ? TResultShown::FromStart : TResultShown::AtEnd}, body);
    }
    // The page's "Прервать": on, and focused, only while a loop runs.
    void SetStopButton(int id) { StopButton = id; }

private:
    const wchar_t* PageCaption;
    TPages* Manager = nullptr;
    int StopButton = 0;
    bool Looping = false;
};
