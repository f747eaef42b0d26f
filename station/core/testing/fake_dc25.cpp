#include "fake_dc25.h"

#include <cstring>

namespace tessel::fake_dc25 {
namespace {

struct State {
    Script script;
    std::vector<Call> calls;
    int openDrivers = 0;
    int openCameras = 0;
};

State& TheState()
{
    static State state;
    return state;
}

template <typename Record>
Record Snapshot(const Record* record)
{
    Record value{};
    if (record != nullptr) {
        std::memcpy(&value, record, sizeof value);
    }
    return value;
}

Call CameraCall(Function function, DC25CameraRecord* camera)
{
    Call call;
    call.function = function;
    call.camera = camera;
    call.cameraValue = Snapshot(camera);
    return call;
}

int16_t Record(const Call& call, int16_t result)
{
    State& state = TheState();
    if (state.script.recordCalls) {
        state.calls.push_back(call);
    }
    return result;
}

void FillPictureInfo(DC25PictureInfo* picture)
{
    if (picture != nullptr) {
        picture->byteCount = TheState().script.byteCount;
        picture->bufferSize = TheState().script.bufferSize;
    }
}

}  // namespace

const char* Name(Function function)
{
    switch (function) {
    case Function::OpenDriver: return "OpenDriver";
    case Function::OpenCamera: return "OpenCamera";
    case Function::TakePicture: return "TakePicture";
    case Function::GetNativePicture: return "GetNativePicture";
    case Function::DeletePicture: return "DeletePicture";
    case Function::CloseCamera: return "CloseCamera";
    case Function::CloseDriver: return "CloseDriver";
    }
    return "?";
}

uint8_t PatternByte(std::size_t index)
{
    return static_cast<uint8_t>((index * 7 + index / 251) & 0xFF);
}

void Reset(const Script& script)
{
    TheState() = State{script, {}, 0, 0};
}

Script& CurrentScript()
{
    return TheState().script;
}

const std::vector<Call>& Calls()
{
    return TheState().calls;
}

std::vector<Function> CalledFunctions()
{
    std::vector<Function> functions;
    for (const Call& call : Calls()) {
        functions.push_back(call.function);
    }
    return functions;
}

int OpenDrivers()
{
    return TheState().openDrivers;
}

int OpenCameras()
{
    return TheState().openCameras;
}

}  // namespace tessel::fake_dc25

using namespace tessel::fake_dc25;

extern "C" {

int16_t DC25_OpenDriver(DC25DriverOpenInfo* openInfo, DC25DriverRecord* driver)
{
    Call call;
    call.function = Function::OpenDriver;
    call.openInfo = openInfo;
    call.driver = driver;
    call.openInfoValue = Snapshot(openInfo);
    call.driverValue = Snapshot(driver);
    const int16_t result = CurrentScript().openDriver;
    TheState().openDrivers += result == DC25_OK ? 1 : 0;
    return Record(call, result);
}

int16_t DC25_OpenCamera(DC25CameraRecord* camera)
{
    const int16_t result = CurrentScript().openCamera;
    TheState().openCameras += result == DC25_OK ? 1 : 0;
    return Record(CameraCall(Function::OpenCamera, camera), result);
}

int16_t DC25_TakePicture(DC25CameraRecord* camera, int32_t reserved1, int32_t reserved2, DC25PictureInfo* picture,
                         int32_t reserved3)
{
    Call call = CameraCall(Function::TakePicture, camera);
    call.picture = picture;
    call.numbers = {reserved1, reserved2, reserved3};
    const int16_t result = CurrentScript().takePicture;
    if (result == DC25_OK) {
        FillPictureInfo(picture);
    }
    return Record(call, result);
}

int16_t DC25_GetNativePicture(DC25CameraRecord* camera, int32_t reserved, DC25PictureInfo* picture,
                              DC25PictureBuffer* buffer, uint32_t* downloadWord)
{
    Call call = CameraCall(Function::GetNativePicture, camera);
    call.picture = picture;
    call.buffer = buffer;
    call.downloadWord = downloadWord;
    call.numbers = {reserved};
    call.bufferValue = Snapshot(buffer);
    call.downloadWordValue = downloadWord != nullptr ? *downloadWord : 0;
    const int16_t result = CurrentScript().getNativePicture;
    if (result == DC25_OK) {
        FillPictureInfo(picture);
        if (CurrentScript().fillBuffer && buffer != nullptr) {
            for (uint32_t i = 0; i < buffer->size; ++i) {
                buffer->data[i] = PatternByte(i);
            }
        }
    }
    return Record(call, result);
}

int16_t DC25_DeletePicture(DC25CameraRecord* camera, int32_t reserved, int32_t picture)
{
    Call call = CameraCall(Function::DeletePicture, camera);
    call.numbers = {reserved, picture};
    return Record(call, CurrentScript().deletePicture);
}

int16_t DC25_CloseCamera(DC25CameraRecord* camera)
{
    TheState().openCameras -= 1;
    return Record(CameraCall(Function::CloseCamera, camera), CurrentScript().closeCamera);
}

int16_t DC25_CloseDriver(DC25DriverRecord* driver)
{
    Call call;
    call.function = Function::CloseDriver;
    call.driver = driver;
    call.driverValue = Snapshot(driver);
    TheState().openDrivers -= 1;
    return Record(call, CurrentScript().closeDriver);
}

}  // extern "C"
