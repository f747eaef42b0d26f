#include "command_channel.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "child_process.h"
#include "duration_text.h"
#include "file_descriptor.h"
#include "output_lines.h"

namespace tessel::alerts {
namespace {

std::string ExitReason(int status)
{
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status) == 0 ? std::string() : "exited with status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return "ended by signal " + std::to_string(WTERMSIG(status));
    }
    return "ended with wait status " + std::to_string(status);
}

// A descriptor that becomes readable when `child` has exited. Through syscall: glibc 2.36's
// <sys/pidfd.h> declares pidfd_open without C linkage, so C++ cannot link it.
int OpenExitDescriptor(pid_t child)
{
    return static_cast<int>(syscall(SYS_pidfd_open, child, 0));
}

int Reap(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// The output pipe: our end (not blocking) and the child's.
struct OutputPipe {
    FileDescriptor ours;
    FileDescriptor theirs;
};

bool OpenPipe(OutputPipe& pipe, std::string& error)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        error = std::string("cannot create a pipe: ") + std::strerror(errno);
        return false;
    }
    pipe.ours = FileDescriptor(ends[0]);
    pipe.theirs = FileDescriptor(ends[1]);
    fcntl(ends[0], F_SETFL, fcntl(ends[0], F_GETFL) | O_NONBLOCK);
    return true;
}

// One run of the program: its output read as it comes until it has exited and closed its output,
// or until the limit.
class CommandRun {
public:
    CommandRun(pid_t child, FileDescriptor output, FileDescriptor exit, OutputLines& lines)
        : child_(child), output_(std::move(output)), exit_(std::move(exit)), lines_(lines)
    {
    }

    // Follows the run until it is over (true) or `limit` passes (false).
    bool Follow(DeliveryPace& pace, PaceClock::time_point limit)
    {
        while (!exited_ || output_.valid()) {
            std::array<pollfd, 2> watched{{{output_.get(), POLLIN, 0}, {exited_ ? -1 : exit_.get(), POLLIN, 0}}};
            if (!pace.Wait(watched, limit)) {
                return false;
            }
            if (watched[0].revents != 0) {
                Read();
            }
            // The exited child stays a zombie until it is reaped, which keeps its process group's
            // number from being reused while the group may still be signalled.
            exited_ = exited_ || watched[1].revents != 0;
        }
        return true;
    }

    bool Exited() const { return exited_; }

    // Kills what is left of the process group, reaps the child and returns its wait status.
    int End()
    {
        lines_.Finish();
        if (!exited_ || output_.valid()) {
            kill(-child_, SIGKILL);
        }
        return Reap(child_);
    }

private:
    void Read()
    {
        char buffer[4096];
        const ssize_t got = read(output_.get(), buffer, sizeof buffer);
        if (got > 0) {
            lines_.Add(std::string_view(buffer, static_cast<std::size_t>(got)));
        } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
            output_.Close();
        }
    }

    pid_t child_;
    FileDescriptor output_;
    FileDescriptor exit_;
    OutputLines& lines_;
    bool exited_ = false;
};

}  // namespace

std::vector<std::string> AlertEnvironment(const AlertEvent& event, const AlertSource& source)
{
    return {
        "TESSEL_EVENT=" + std::string(AlertKindName(event.kind)),
        "TESSEL_STATION=" + source.station,
        "TESSEL_LAST_STATUS=" + event.lastStatus,
        "TESSEL_FAILURES=" + std::to_string(event.failures),
        "TESSEL_WEBDIR=" + source.webdir.string(),
    };
}

CommandChannel::CommandChannel(std::filesystem::path program, AlertSource source, AlertLog log,
                               PaceClock::duration limit)
    : program_(std::move(program)), source_(std::move(source)), log_(std::move(log)), limit_(limit)
{
}

std::string CommandChannel::Name() const
{
    return "alert_command " + program_.string();
}

DeliveryReport CommandChannel::Deliver(const AlertEvent& event, DeliveryPace& pace)
{
    std::string error;
    OutputPipe pipe;
    if (!OpenPipe(pipe, error)) {
        return {DeliveryResult::Failed, error};
    }
    ChildSetup setup;
    setup.descriptors = {{pipe.theirs.get(), STDOUT_FILENO}, {pipe.theirs.get(), STDERR_FILENO}};
    setup.quiet = true;  // standard input: /dev/null
    setup.ownProcessGroup = true;
    setup.environment = AlertEnvironment(event, source_);
    const pid_t child = StartChild(program_, {program_.string()}, setup, error);
    pipe.theirs.Close();
    if (child < 0) {
        return {DeliveryResult::Failed, error};
    }
    FileDescriptor exit(OpenExitDescriptor(child));
    if (!exit.valid()) {
        error = std::string("cannot watch the program: ") + std::strerror(errno);
        kill(-child, SIGKILL);
        Reap(child);
        return {DeliveryResult::Failed, error};
    }
    OutputLines lines([this](const std::string& line) { log_(AlertLogLevel::Info, Name() + ": " + line); });
    CommandRun run(child, std::move(pipe.ours), std::move(exit), lines);
    const bool over = run.Follow(pace, PaceClock::now() + limit_);
    const bool exited = run.Exited();
    const int status = run.End();
    if (!exited) {
        return pace.Expired() ? DeliveryReport{DeliveryResult::Abandoned, {}}
                              : DeliveryReport{DeliveryResult::Failed, "killed after " + DurationText(limit_)};
    }
    if (!over) {
        log_(AlertLogLevel::Warning, Name() + ": killed what it left running after " + DurationText(limit_));
    }
    const std::string reason = ExitReason(status);
    return {reason.empty() ? DeliveryResult::Delivered : DeliveryResult::Failed, reason};
}

}  // namespace tessel::alerts
