// A scripted stand-in for the camera driver library. It defines the seven DC25_* functions,
// records every call with its arguments and the records' contents at call time, and answers
// from a script. Not thread-safe; one script for the whole process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dc25v20.h"

namespace tessel::fake_dc25 {

enum class Function { OpenDriver, OpenCamera, TakePicture, GetNativePicture, DeletePicture, CloseCamera, CloseDriver };

const char* Name(Function function);

struct Call {
    Function function = Function::OpenDriver;
    // Pointer arguments as passed (null where the function has none).
    const void* openInfo = nullptr;
    const void* driver = nullptr;
    const void* camera = nullptr;
    const void* picture = nullptr;
    const void* buffer = nullptr;
    const void* downloadWord = nullptr;
    // The integer arguments, in order (TakePicture 3, GetNativePicture 1, DeletePicture 2).
    std::vector<int32_t> numbers;
    // Snapshots of the records behind the pointers, taken when the call came in.
    DC25DriverOpenInfo openInfoValue{};
    DC25DriverRecord driverValue{};
    DC25CameraRecord cameraValue{};
    DC25PictureBuffer bufferValue{};
    uint32_t downloadWordValue = 0;
};

struct Script {
    // Result of each function; DC25_OK unless set.
    int16_t openDriver = DC25_OK;
    int16_t openCamera = DC25_OK;
    int16_t takePicture = DC25_OK;
    int16_t getNativePicture = DC25_OK;
    int16_t deletePicture = DC25_OK;
    int16_t closeCamera = DC25_OK;
    int16_t closeDriver = DC25_OK;
    // What a successful TakePicture and GetNativePicture put into PictureInfo.
    uint32_t byteCount = 600;
    uint32_t bufferSize = 1000;
    // A successful GetNativePicture fills the whole buffer that PictureBuffer describes with
    // PatternByte(0), PatternByte(1), ...
    bool fillBuffer = true;
    // Keep a log of calls (a long benchmark turns it off).
    bool recordCalls = true;
};

// The byte the fake writes at offset `index` of a download buffer.
uint8_t PatternByte(std::size_t index);

// Replaces the script and forgets all recorded calls.
void Reset(const Script& script = Script{});
// The current script, to change between calls.
Script& CurrentScript();
const std::vector<Call>& Calls();
// The functions called so far, in order.
std::vector<Function> CalledFunctions();
// Drivers and cameras open now: successful opens minus closes.
int OpenDrivers();
int OpenCameras();

}  // namespace tessel::fake_dc25
