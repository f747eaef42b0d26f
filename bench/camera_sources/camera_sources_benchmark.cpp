// One grab to JPEG bytes, timed side by side with the one-liners a user would write, in one run:
//   RTSP  H.264 1920×1080, 25 frames per second, a key frame every second, from GStreamer's RTSP
//         server on loopback, running on as a camera's stream does (another client watches it):
//         grab_tool against `ffmpeg -rtsp_transport tcp -i URL -frames:v 1 f.jpg`
//   HTTP  a 1920×1080 JPEG snapshot from nginx on loopback: grab_tool against `curl -o f.jpg URL`
// Each command runs ROUNDS times (default 7), alternating, each after a pause of a random fraction
// of a second: a command that ends just after a key frame would otherwise make the next one start
// at the same point of the stream every time and wait almost a whole second for the next key
// frame. Printed are the median and the worst
// wall time and the largest peak resident memory of each, and the ratios of the medians. Also
// the median of the same grabs as library calls in a running process (as the station daemon
// makes them, with the FFmpeg libraries loaded once), which shows what of grab_tool's time is
// spent starting a program linked to them.
// usage: camera_sources_benchmark [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "camera_servers.h"
#include "grab.h"
#include "picture_jpeg.h"

using namespace tessel::testing;

namespace {

struct Run {
    double seconds = 0;
    long peakKilobytes = 0;
    bool ok = false;
};

// A pause of 0 to 1 s, the same series in every run of the benchmark.
void PauseAtRandom() {
    static std::mt19937 random(4711);
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 999)(random)));
}

// Runs `argv` with its output discarded, after a random pause; its wall time and peak resident memory.
Run Measure(const std::vector<std::string>& argv) {
    PauseAtRandom();
    std::vector<char*> arguments;
    for (const auto& a : argv) arguments.push_back(const_cast<char*>(a.c_str()));
    arguments.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execv(arguments[0], arguments.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKilobytes = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

struct Summary {
    std::string name;
    std::vector<Run> runs;

    double Median() const {
        std::vector<double> seconds;
        for (const Run& r : runs) seconds.push_back(r.seconds);
        std::sort(seconds.begin(), seconds.end());
        return seconds.empty() ? 0 : seconds[seconds.size() / 2];
    }
    double Worst() const {
        double worst = 0;
        for (const Run& r : runs) worst = std::max(worst, r.seconds);
        return worst;
    }
    long PeakKilobytes() const {
        long peak = 0;
        for (const Run& r : runs) peak = std::max(peak, r.peakKilobytes);
        return peak;
    }
    int Failures() const { return static_cast<int>(std::count_if(runs.begin(), runs.end(), [](const Run& r) { return !r.ok; })); }
};

void Print(const Summary& ours, const Summary& theirs) {
    for (const Summary* s : {&ours, &theirs}) {
        std::printf("  %-44s median %6.3f s  worst %6.3f s  peak %7.1f MiB  failed %d/%zu\n", s->name.c_str(), s->Median(),
                    s->Worst(), s->PeakKilobytes() / 1024.0, s->Failures(), s->runs.size());
    }
    std::printf("  ratio (grab_tool / other): wall %.2f, peak memory %.2f\n", ours.Median() / theirs.Median(),
                static_cast<double>(ours.PeakKilobytes()) / static_cast<double>(theirs.PeakKilobytes()));
}

// One grab and its JPEG bytes in this process, after a random pause; seconds.
double GrabInProcess(const std::string& url) {
    namespace cs = tessel::camera_sources;
    PauseAtRandom();
    std::string error;
    const auto source = cs::ParseSource(url, error);
    cs::GrabSettings settings;
    settings.timeout = std::chrono::seconds(20);
    const auto start = std::chrono::steady_clock::now();
    const cs::GrabResult result = cs::Grab(*source, settings);
    if (result) cs::PictureAsJpeg(*result.picture);
    else std::fprintf(stderr, "in-process grab failed: %s\n", result.reason.c_str());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 7;
    std::string skipReason;
    const auto rtsp = CameraServer::Rtsp({"--continuous", "--size", "1920x1080", "--fps", "25", "--key-interval", "25",
                                         "--pattern", "ball"},
                                        skipReason);
    const auto http = SnapshotServer::Start(skipReason);
    if (!rtsp || !http) {
        std::fprintf(stderr, "camera_sources_benchmark: %s\n", skipReason.c_str());
        return 1;
    }
    const RtspViewer viewer(rtsp->Url(), rtsp->process().port());
    http->Put("snapshot.jpg", SampleJpeg(1920, 1080));
    ScratchDirectory out;
    const std::string picture = (out / "f.jpg").string();

    Summary rtspOurs{"grab_tool rtsp", {}};
    Summary rtspFfmpeg{"ffmpeg -rtsp_transport tcp -i URL -frames:v 1", {}};
    Summary httpOurs{"grab_tool http snapshot", {}};
    Summary httpCurl{"curl -o f.jpg URL", {}};
    std::vector<double> rtspInProcess, httpInProcess;
    for (int i = 0; i < rounds; ++i) {
        rtspInProcess.push_back(GrabInProcess(rtsp->Url()));
        httpInProcess.push_back(GrabInProcess(http->Url("snapshot.jpg")));
        rtspOurs.runs.push_back(Measure({TESSEL_GRAB_TOOL, "--timeout", "20", rtsp->Url(), picture}));
        rtspFfmpeg.runs.push_back(Measure({"/usr/bin/ffmpeg", "-nostdin", "-y", "-v", "error", "-rtsp_transport", "tcp",
                                           "-i", rtsp->Url(), "-frames:v", "1", picture}));
        httpOurs.runs.push_back(Measure({TESSEL_GRAB_TOOL, http->Url("snapshot.jpg"), picture}));
        httpCurl.runs.push_back(Measure({"/usr/bin/curl", "-s", "-f", "-o", picture, http->Url("snapshot.jpg")}));
    }
    std::printf("One grab to a JPEG file, %d rounds each, alternating\n", rounds);
    std::printf("RTSP H.264 1920x1080, 25 fps, a key frame every second:\n");
    Print(rtspOurs, rtspFfmpeg);
    std::printf("  the same grab as a library call in a running process: median %.3f s\n", Median(rtspInProcess));
    std::printf("HTTP snapshot, 1920x1080 JPEG:\n");
    Print(httpOurs, httpCurl);
    std::printf("  the same grab as a library call in a running process: median %.3f s\n", Median(httpInProcess));
    return 0;
}
