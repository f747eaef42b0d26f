// The capture cycle's status texts. A cycle puts kSayCheese on the status line and then appends
// one text per step, each beginning with a blank so that the line reads as one line of words;
// only a driver that cannot be opened replaces the line once more. A camera reports a failed
// step with one of the ...Failed texts.
#pragma once

namespace tessel {

inline constexpr const char* kSayCheese = "Say \"Cheese!\"";
inline constexpr const char* kOpenDriverFailed = "OpenDriver Failed";
inline constexpr const char* kOpenCameraFailed = " OpenCamera Failed";
inline constexpr const char* kTakePictureFailed = " TakePicture Failed";
inline constexpr const char* kAcquiringPicture = " Acquiring Picture";
inline constexpr const char* kImageMallocFailed = " Image malloc Failed";
// Followed by " (<result code>)".
inline constexpr const char* kGetNativePictureFailed = " GetNativePicture Failed";
inline constexpr const char* kPictureSizeFailed = " Picture Size Failed";
// Followed by " (<file> is a symbolic link)" when a link stands under the picture's name.
inline constexpr const char* kFileOpenFailed = " FileOpen Failed";
inline constexpr const char* kCreatingWebImage = " Creating Web Image";
inline constexpr const char* kFileWriteFailed = " FileWrite Failed";
inline constexpr const char* kDeletingPicture = " Deleting Picture";
inline constexpr const char* kDeletePictureFailed = " DeletePicture Failed";
inline constexpr const char* kCloseCameraFailed = " CloseCamera Failed";
inline constexpr const char* kCloseDriverFailed = " CloseDriver Failed";
inline constexpr const char* kFinishedProcessing = " Finished Processing";

}  // namespace tessel
