// The cost of queueing one converter run's files with a long upload queue: EnqueueJobs (what the
// converter does after each picture) timed with 100, 10 000 and 60 000 jobs already queued for
// the target, as processor time and as wall time (which includes the one flush of the queue's
// folder to disk, as noisy as the disk). Queueing looks only at the files it queues, so the three
// should agree within noise.
// usage: enqueue_benchmark [RUNS]
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "scratch_directory.h"
#include "upload_spool.h"

using namespace tessel;
using namespace tessel::testing;

namespace {

std::string Stamp(int i) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "2026%02d%02d%06d", 1 + i / 100000 % 12, 1 + i / 10000 % 28, i % 10000 * 10);
    return stamp;
}

double ProcessorMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Cost {
    double processor;  // median milliseconds
    double wall;
};

// The cost of EnqueueJobs for one run's files, with `queued` jobs waiting.
Cost MedianCost(int queued, int runs) {
    ScratchDirectory web;
    const WebDirectory dir = WebDirectory::Open(web.path());
    UploadTarget target;
    target.name = "cdn";
    target.url = "s3://bucket/cam/";
    target.endpoint = "http://127.0.0.1:9";
    const TargetSpool spool(dir, target.name, true);
    for (int i = 0; i < queued; ++i) spool.Add("archive/" + Stamp(i) + ".jpg");
    spool.Flush();
    std::vector<double> processor;
    std::vector<double> wall;
    for (int run = 0; run < runs; ++run) {
        const std::string stamp = Stamp(queued + run);
        const std::vector<std::string> published = {"webcam.jpg", "webcam.json", "archive/" + stamp + ".jpg",
                                                    "archive/thumbs/" + stamp + ".jpg", "archive/days/20261210.json",
                                                    "archive/days.json", "archive/index.html"};
        const auto start = std::chrono::steady_clock::now();
        const double processorStart = ProcessorMilliseconds();
        EnqueueJobs(dir, {target}, published, 0);
        processor.push_back(ProcessorMilliseconds() - processorStart);
        wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    return {Median(processor), Median(wall)};
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 30;
    std::printf("EnqueueJobs of one run's 7 files, median of %d runs\n", runs);
    std::printf("%14s %18s %14s %14s\n", "jobs queued", "processor ms", "ratio to 100", "wall ms");
    double first = 0;
    for (const int queued : {100, 10000, 60000}) {
        const Cost cost = MedianCost(queued, runs);
        if (queued == 100) first = cost.processor;
        std::printf("%14d %18.3f %14.2f %14.3f\n", queued, cost.processor, cost.processor / first, cost.wall);
    }
    return 0;
}
