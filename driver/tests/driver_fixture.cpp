#include "driver_fixture.h"

#include <cstdlib>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace dc2x::testing {

rawformat::RgbImage TestScene() {
    constexpr int kWidth = 64;
    constexpr int kHeight = 48;
    rawformat::RgbImage scene{kWidth, kHeight, std::vector<uint8_t>(kWidth * kHeight * 3)};
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &scene.rgb[static_cast<std::size_t>(y * kWidth + x) * 3];
            p[0] = static_cast<uint8_t>(x * 4);
            p[1] = static_cast<uint8_t>(y * 5);
            p[2] = static_cast<uint8_t>(((x / 8 + y / 8) % 2) * 200 + 20);
        }
    }
    return scene;
}

std::vector<uint8_t> ExpectedPicture(rawformat::Resolution resolution) {
    return rawformat::EncodeScene(TestScene(), resolution);
}

void DriverTest::SetUp() {
    // Real-camera timeouts shortened alike, so that failures are found quickly.
    ::setenv("DC25_TIMEOUT_SCALE", "0.4", 1);
    ::unsetenv("DC25_TRACE");
    MapPorts({});
    const rawformat::RgbImage scene = TestScene();
    scenePath_ = (std::filesystem::temp_directory_path() / ("dc2x-test-scene-" + std::to_string(::getpid()) + ".ppm"))
                     .string();
    std::ofstream out(scenePath_, std::ios::binary);
    out << "P6\n# test scene\n" << scene.width << ' ' << scene.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(scene.rgb.data()), static_cast<std::streamsize>(scene.rgb.size()));
}

StationRecords& DriverTest::Records(int32_t port, int32_t model, int32_t speed) {
    records_.push_back(std::make_unique<StationRecords>(port, model, speed));
    return *records_.back();
}

void DriverTest::TearDown() {
    for (const auto& r : records_) {
        DC25_CloseCamera(&r->camera);
        DC25_CloseDriver(&r->driver);
    }
    records_.clear();
    emulator_.reset();
    std::filesystem::remove(scenePath_);
}

void DriverTest::MapPorts(const std::vector<std::string>& devices) {
    for (int port = 1; port <= 4; ++port) {
        const std::size_t i = static_cast<std::size_t>(port - 1);
        const std::string device = i < devices.size() && !devices[i].empty()
                                       ? devices[i]
                                       : "/nonexistent/dc2x-test-com" + std::to_string(port);
        ::setenv(("DC25_COM" + std::to_string(port)).c_str(), device.c_str(), 1);
    }
}

EmulatorProcess& DriverTest::StartEmulator(const std::vector<std::string>& arguments, int port) {
    std::vector<std::string> all{"--scene", scenePath_, "--snap-ms", "50", "--erase-ms", "20"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    emulator_ = std::make_unique<EmulatorProcess>(DC2X_EMULATOR_PATH, all);
    std::vector<std::string> devices(4);
    devices[static_cast<std::size_t>(port - 1)] = emulator_->path();
    MapPorts(devices);
    return *emulator_;
}

void DriverTest::OpenCamera(StationRecords& r) {
    ASSERT_EQ(DC25_OpenDriver(&r.openInfo, &r.driver), DC25_OK);
    ASSERT_EQ(DC25_OpenCamera(&r.camera), DC25_OK);
}

int16_t DriverTest::TakeAndDownload(StationRecords& r, std::vector<uint8_t>& buffer) {
    const int16_t taken = DC25_TakePicture(&r.camera, 0, 0, &r.picture, 0);
    if (taken != DC25_OK) return taken;
    if (buffer.empty()) buffer.resize(r.picture.bufferSize);
    r.buffer = DC25PictureBuffer{buffer.data(), static_cast<uint32_t>(buffer.size()), 0};
    r.downloadWord = 0;
    return DC25_GetNativePicture(&r.camera, 0, &r.picture, &r.buffer, &r.downloadWord);
}

std::vector<uint8_t> DriverTest::NativePicture(const StationRecords& r, const std::vector<uint8_t>& buffer) {
    return {buffer.end() - r.picture.byteCount, buffer.end()};
}

}  // namespace dc2x::testing
