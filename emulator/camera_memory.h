// The emulated camera's picture memory. Its room is counted in high-resolution pictures; a
// low-resolution picture takes half as much. Pictures are numbered from 1 in the order taken.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "dc2x/protocol.h"
#include "rawformat/raw_layout.h"

namespace dc2x {

struct StoredPicture {
    rawformat::Resolution resolution;
    std::vector<uint8_t> raw;        // the native picture, header included
    std::vector<uint8_t> thumbnail;  // the thumbnail blocks' data, padding included
};

class CameraMemory {
public:
    explicit CameraMemory(int capacity) : units_(2 * capacity) {}

    int count() const { return static_cast<int>(pictures_.size()); }
    int CountAt(rawformat::Resolution r) const;
    // Room for this many more pictures at resolution `r`.
    int FreeAt(rawformat::Resolution r) const;
    bool Store(StoredPicture picture);  // false when there is no room
    const StoredPicture* Find(int number) const;
    bool Erase(int number);  // false when there is no such picture
    void EraseAll() { pictures_.clear(); }

private:
    int units_;
    std::vector<StoredPicture> pictures_;
};

}  // namespace dc2x
