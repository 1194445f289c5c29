// The ordered set of address lines.
#include "engine/address_set.h"

#include <set>
#include <string>

namespace trelvane {

struct AddressSet::Storage
{
    std::set<std::u16string, std::less<>> lines;
};

AddressSet::AddressSet(SetOrder order) : order_(order), storage_(std::make_unique<Storage>()) {}

AddressSet::~AddressSet() = default;

bool AddressSet::Insert(std::u16string_view line)
{
    return storage_->lines.emplace(line).second;
}

bool AddressSet::Contains(std::u16string_view line) const
{
    return storage_->lines.find(line) != storage_->lines.end();
}

std::size_t AddressSet::Size() const
{
    return storage_->lines.size();
}

void AddressSet::Clear()
{
    storage_->lines.clear();
}

void AddressSet::ForEach(const std::function<bool(std::u16string_view)>& visit) const
{
    if (order_ == SetOrder::Descending) {
        for (auto it = storage_->lines.rbegin(); it != storage_->lines.rend(); ++it) {
            if (!visit(*it))
                return;
        }
        return;
    }
    for (const auto& line : storage_->lines) {
        if (!visit(line))
            return;
    }
}

} // namespace trelvane
