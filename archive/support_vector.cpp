// Storage management of record vectors.
#include "archive/support_vector.h"

#include <cstring>

void CBaseRecordVector::Delete(int index, int count)
{
    if (count > _size - index)
        count = _size - index;
    if (count <= 0)
        return;
    const int tail = _size - index - count;
    std::memmove(ItemAt(index), ItemAt(index + count), _itemSize * static_cast<std::size_t>(tail));
    _size -= count;
}

void CBaseRecordVector::Reserve(std::uint64_t capacity)
{
    if (capacity == static_cast<std::uint64_t>(_capacity))
        return;
    if (capacity >= (std::uint64_t{1} << 31))
        throw 1052353;
    const std::uint64_t bytes = capacity * _itemSize;
    if (bytes > 0xFFFFFFFFu)
        throw 1052354;
    void* items = MyAlloc(static_cast<std::size_t>(bytes));
    const int kept = _size < static_cast<int>(capacity) ? _size : static_cast<int>(capacity);
    if (kept > 0)
        std::memcpy(items, _items, _itemSize * static_cast<std::size_t>(kept));
    MyFree(_items);
    _items = items;
    _size = kept;
    _capacity = static_cast<int>(capacity);
}

void CBaseRecordVector::ReserveOnePosition()
{
    if (_size != _capacity)
        return;
    const int delta = _capacity >= 64 ? _capacity / 4 : _capacity >= 8 ? 8 : 1;
    Reserve(static_cast<std::uint64_t>(_capacity) + static_cast<std::uint64_t>(delta));
}
