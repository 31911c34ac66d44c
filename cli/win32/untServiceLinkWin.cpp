// Windows has no trelmod: the tool always opens the port itself.
#include "untServiceLink.h"

#include <stdexcept>

struct TServiceLink::TImpl {};

TServiceLink::TServiceLink(std::unique_ptr<TImpl> impl) : Impl(std::move(impl)) {}
TServiceLink::~TServiceLink() = default;

std::unique_ptr<TServiceLink> TServiceLink::Open(const std::string&, const std::string&) {
    return nullptr;
}

TServiceAnswer TServiceLink::Exchange(const TBytes&, int, int, int) {
    throw std::logic_error("no service link on Windows");
}

std::string DefaultServiceSocket() {
    return "";
}
