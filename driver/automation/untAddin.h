// The name registries of the 1C add-in adapter: one entry per member of ITrelmo, found by the
// host under its English or its Russian name.
#pragma once

#include <windows.h>
#include <wtypes.h>

#include <memory>
#include <string>
#include <vector>

class TAddinItems;

// One member. It joins its owner when created with one and leaves it when destroyed.
class TAddinItem {
public:
    explicit TAddinItem(TAddinItems* owner = nullptr);
    ~TAddinItem();
    TAddinItem(const TAddinItem&) = delete;
    TAddinItem& operator=(const TAddinItem&) = delete;

    TAddinItems* Owner() const { return ItemOwner; }

    LONG DispID = 0;
    std::string Name;        // cp1251: the member's name in the type information
    std::string RussianName; // cp1251: the member's help string
    bool Readable = false;
    bool Writable = false;
    DWORD VarType = VT_EMPTY; // a property's type, a method's result type

private:
    TAddinItems* ItemOwner;
};

// The items of one registry, owned, in the order they joined; indices count from 0.
class TAddinItems {
public:
    TAddinItems() = default;
    ~TAddinItems() { Clear(); }
    TAddinItems(const TAddinItems&) = delete;
    TAddinItems& operator=(const TAddinItems&) = delete;

    int Count() const { return List ? static_cast<int>(List->size()) : 0; }
    bool InRange(long index) const { return index >= 0 && index < Count(); }
    // Throws std::out_of_range for an index outside 0..Count()-1.
    TAddinItem& Item(long index) const;
    TAddinItem& Add() { return *new TAddinItem(this); }
    // Destroys the items from the front.
    void Clear();

    // The first item whose English or else Russian name equals `name` (cp1251) in any letter
    // case, Cyrillic included; -1 when none does.
    long Find(const std::string& name) const;

private:
    friend class TAddinItem;
    void Insert(TAddinItem* item);
    void Remove(TAddinItem* item);

    // Exists only while the registry holds items.
    std::unique_ptr<std::vector<TAddinItem*>> List;
};
