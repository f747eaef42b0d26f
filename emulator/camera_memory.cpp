#include "camera_memory.h"

#include <algorithm>

namespace dc2x {

namespace {

int UnitsOf(rawformat::Resolution r) { return r == rawformat::Resolution::High ? 2 : 1; }

}  // namespace

int CameraMemory::CountAt(rawformat::Resolution r) const {
    return static_cast<int>(std::count_if(pictures_.begin(), pictures_.end(),
                                          [r](const StoredPicture& p) { return p.resolution == r; }));
}

int CameraMemory::FreeAt(rawformat::Resolution r) const {
    int used = 0;
    for (const StoredPicture& p : pictures_) used += UnitsOf(p.resolution);
    return (units_ - used) / UnitsOf(r);
}

bool CameraMemory::Store(StoredPicture picture) {
    if (FreeAt(picture.resolution) == 0) return false;
    pictures_.push_back(std::move(picture));
    return true;
}

const StoredPicture* CameraMemory::Find(int number) const {
    if (number < 1 || number > count()) return nullptr;
    return &pictures_[static_cast<std::size_t>(number - 1)];
}

bool CameraMemory::Erase(int number) {
    if (Find(number) == nullptr) return false;
    pictures_.erase(pictures_.begin() + (number - 1));
    return true;
}

}  // namespace dc2x
