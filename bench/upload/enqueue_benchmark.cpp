// The cost of queueing one converter run's files with a long upload queue: EnqueueJobs (what the
// converter does after each picture) timed with 100, 10 000 and 60 000 jobs already queued for
// the target. Queueing looks only at the files it queues, so the three should agree within noise.
// usage: enqueue_benchmark [RUNS]
#include <algorithm>
#include <chrono>
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

// Median milliseconds of EnqueueJobs for one run's files, with `queued` jobs waiting.
double MedianMilliseconds(int queued, int runs) {
    ScratchDirectory web;
    const WebDirectory dir = WebDirectory::Open(web.path());
    UploadTarget target;
    target.name = "cdn";
    target.url = "s3://bucket/cam/";
    target.endpoint = "http://127.0.0.1:9";
    const TargetSpool spool(dir, target.name, true);
    for (int i = 0; i < queued; ++i) spool.Add("archive/" + Stamp(i) + ".jpg");
    spool.Flush();
    std::vector<double> milliseconds;
    for (int run = 0; run < runs; ++run) {
        const std::string stamp = Stamp(queued + run);
        const std::vector<std::string> published = {"webcam.jpg", "webcam.json", "archive/" + stamp + ".jpg",
                                                    "archive/thumbs/" + stamp + ".jpg", "archive/days/20261210.json",
                                                    "archive/days.json", "archive/index.html"};
        const auto start = std::chrono::steady_clock::now();
        EnqueueJobs(dir, {target}, published, 0);
        milliseconds.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    return milliseconds[milliseconds.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 30;
    std::printf("EnqueueJobs of one run's 7 files, median of %d runs\n", runs);
    std::printf("%14s %12s\n", "jobs queued", "median ms");
    double first = 0;
    for (const int queued : {100, 10000, 60000}) {
        const double median = MedianMilliseconds(queued, runs);
        if (queued == 100) first = median;
        std::printf("%14d %12.3f   (%.2fx the cost at 100)\n", queued, median, median / first);
    }
    return 0;
}
