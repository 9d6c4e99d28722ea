#include "picture/metafile/GdiObjects.h"

#include <algorithm>
#include <functional>

namespace tamarind::metafile {

bool ObjectTable::AddAtLowestFree(GdiObject object) {
    uint32_t index;
    if (!freed_.empty()) {
        std::pop_heap(freed_.begin(), freed_.end(), std::greater<>());
        index = freed_.back();
        freed_.pop_back();
    } else if (next_ < capacity_) {
        index = next_++;
    } else {
        return false;
    }
    objects_.insert_or_assign(index, std::move(object));
    return true;
}

bool ObjectTable::Put(uint32_t index, GdiObject object) {
    if (index >= capacity_) return false;
    objects_.insert_or_assign(index, std::move(object));
    return true;
}

GdiObject* ObjectTable::Get(uint32_t index) {
    auto it = objects_.find(index);
    return it == objects_.end() ? nullptr : &it->second;
}

void ObjectTable::Delete(uint32_t index) {
    if (objects_.erase(index) == 0) return;
    // Below next_ a deleted index becomes free again; the heap keeps the
    // lowest on top. (Objects put at explicit indices never use the heap.)
    if (index < next_) {
        freed_.push_back(index);
        std::push_heap(freed_.begin(), freed_.end(), std::greater<>());
    }
}

}  // namespace tamarind::metafile
