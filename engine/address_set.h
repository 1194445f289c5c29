// A set of address lines in UTF-16 code-unit order, built for tens of millions of lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

namespace trelvane {

/// The order in which a set hands out its lines.
enum class SetOrder
{
    Ascending,
    Descending,
};

/// An ordered set of unique wide strings.
///
/// Two lines are equal when their UTF-16 code units are; lines are ordered by unsigned
/// code-unit value, a proper prefix first (the order of std::u16string), or the reverse of
/// that for a descending set. Not safe for use from two threads at once.
class AddressSet
{
public:
    explicit AddressSet(SetOrder order = SetOrder::Ascending);
    ~AddressSet();
    AddressSet(const AddressSet&) = delete;
    AddressSet& operator=(const AddressSet&) = delete;

    /// Adds line; returns true when the set did not hold it yet.
    bool Insert(std::u16string_view line);
    /// Whether the set holds a line equal to line.
    bool Contains(std::u16string_view line) const;
    /// Number of lines in the set.
    std::size_t Size() const;
    bool Empty() const { return Size() == 0; }
    /// Removes every line and releases the memory they took.
    void Clear();
    /// Calls visit for every line in the set's order until it returns false; the view is valid
    /// only during the call.
    void ForEach(const std::function<bool(std::u16string_view)>& visit) const;
    SetOrder Order() const { return order_; }

private:
    struct Storage;
    SetOrder order_;
    std::unique_ptr<Storage> storage_;
};

} // namespace trelvane
