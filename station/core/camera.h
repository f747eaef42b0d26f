// The camera a station takes its pictures with. One capture cycle asks it, in this order:
//   Open;  when it opened: Take;  when a picture was taken: Fetch, then, on a camera that keeps
//   its pictures, DeletePicture;  and in the end Close, also after an Open that failed.
// Every step that fails tells `report` with one of the station's status texts and a reason, and
// the cycle goes on with the clean-up the steps already done require. A camera holds nothing
// open between two cycles, and every step ends within the camera's own deadline.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "camera_picture.h"
#include "step_failure.h"

namespace tessel {

struct DriverRecords;

class Camera {
public:
    virtual ~Camera() = default;

    // Makes the camera ready for one picture. False when it could not.
    virtual bool Open(FailureReport& report) = 0;
    // Takes a picture. False when none was taken.
    virtual bool Take(FailureReport& report) = 0;
    // The picture just taken; nothing when it could not be had.
    virtual std::optional<CameraPicture> Fetch(FailureReport& report) = 0;
    // Whether pictures stay in the camera's memory until they are deleted, as in the serial
    // cameras. A camera without picture memory gets no delete step and no " Deleting Picture".
    virtual bool KeepsPictures() const { return true; }
    // Deletes the picture just taken, fetched or not. Asked only of a camera that KeepsPictures().
    virtual void DeletePicture(FailureReport& report) = 0;
    // Closes what Open opened; nothing when it opened nothing. When an exception ends the cycle,
    // even one that interrupted Close, the cycle calls it once more with a report that ignores
    // failures: it then closes what is still open and must not throw.
    virtual void Close(FailureReport& report) = 0;
};

// Builds the camera of a station dialog, once, when the dialog's driver records stand where they
// stay; the serial camera works on them, other cameras need not.
using CameraMaker = std::function<std::unique_ptr<Camera>(const DriverRecords& records)>;

}  // namespace tessel
