#include "untAddin.h"

#include "untMembers.h"

#include <algorithm>
#include <stdexcept>

TAddinItem::TAddinItem(TAddinItems* owner) : ItemOwner(owner) {
    if (ItemOwner)
        ItemOwner->Insert(this);
}

TAddinItem::~TAddinItem() {
    if (ItemOwner)
        ItemOwner->Remove(this);
}

void TAddinItems::Insert(TAddinItem* item) {
    if (!List)
        List = std::make_unique<std::vector<TAddinItem*>>();
    List->push_back(item);
}

void TAddinItems::Remove(TAddinItem* item) {
    if (!List)
        return;
    auto found = std::find(List->begin(), List->end(), item);
    if (found != List->end())
        List->erase(found);
    if (List->empty())
        List.reset();
}

TAddinItem& TAddinItems::Item(long index) const {
    if (!InRange(index))
        throw std::out_of_range("add-in item index out of range");
    return *(*List)[static_cast<size_t>(index)];
}

void TAddinItems::Clear() {
    // Each item takes itself out of the list as it goes.
    while (Count() > 0)
        delete &Item(0);
}

// SameName folds cp1251 Cyrillic itself: the user locale under which the host runs need not be
// Russian, and a locale-bound comparison would then miss "сКОРОСТЬ".
long TAddinItems::Find(const std::string& name) const {
    // Members without a help string have no Russian name; an empty name names nothing.
    if (name.empty())
        return -1;
    for (long i = 0; i < Count(); ++i) {
        const TAddinItem& item = Item(i);
        if (SameName(item.Name, name) || SameName(item.RussianName, name))
            return i;
    }
    return -1;
}
