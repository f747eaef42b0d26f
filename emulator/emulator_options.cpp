#include "emulator_options.h"

#include <cstdlib>
#include <functional>
#include <map>

namespace dc2x {

const char* const kEmulatorUsage =
    "usage: dc2x-emulator [options]\n"
    "Emulates a DC20 or DC25 camera on a pseudo-terminal and prints the terminal's path.\n"
    "  --model dc20|dc25       camera model (dc25)\n"
    "  --resolution high|low   current resolution (high)\n"
    "  --capacity N            memory for N high-resolution pictures, twice as many low (DC20 8, DC25 14)\n"
    "  --full                  start with the memory full\n"
    "  --start-speed BAUD      speed the camera is at when the emulator starts (9600)\n"
    "  --link PATH             also reach the terminal through the symbolic link PATH\n"
    "  --scene FILE.ppm        picture every snap shows (binary PPM); default: a clock scene\n"
    "  --pace                  send at the line rate of the current speed (11 bits a byte)\n"
    "  --snap-ms N             time a snap takes (1000)\n"
    "  --erase-ms N            time an erase takes (500)\n"
    "  --corrupt-block K       send picture block K (from 1) with a bad checksum ...\n"
    "  --corrupt-times N       ... the first N times it is sent (1)\n"
    "  --stall-after N         stop answering after N bytes of picture data\n"
    "  --hangup-after N        hang up (as an unplugged adapter) after N bytes of picture data\n"
    "  --refuse CODE           answer command CODE (hex, e.g. 77) with E1; may be repeated\n"
    "  --verbose               log every command on standard error\n"
    "  --help                  print this help and exit\n"
    "  --version               print the version and exit\n";

int EmulatorOptions::EffectiveCapacity() const {
    if (capacity > 0) return capacity;
    return model == Model::Dc20 ? 8 : 14;
}

namespace {

bool ParseNumber(const std::string& text, long min, long max, long& out, int base = 10) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, base);
    if (text.empty() || *end != '\0' || value < min || value > max) return false;
    out = value;
    return true;
}

}  // namespace

std::optional<EmulatorOptions> ParseEmulatorOptions(int argc, char** argv, std::string& error) {
    EmulatorOptions o;
    using Setter = std::function<bool(const std::string&)>;
    auto number = [](auto& field, long min, long max) {
        return [&field, min, max](const std::string& v) {
            long n = 0;
            if (!ParseNumber(v, min, max, n)) return false;
            field = static_cast<std::remove_reference_t<decltype(field)>>(n);
            return true;
        };
    };
    const std::map<std::string, Setter> withValue{
        {"--model",
         [&](const std::string& v) {
             if (v != "dc20" && v != "dc25") return false;
             o.model = v == "dc20" ? Model::Dc20 : Model::Dc25;
             return true;
         }},
        {"--resolution",
         [&](const std::string& v) {
             if (v != "high" && v != "low") return false;
             o.resolution = v == "high" ? rawformat::Resolution::High : rawformat::Resolution::Low;
             return true;
         }},
        {"--capacity", number(o.capacity, 1, 100)},
        {"--start-speed",
         [&](const std::string& v) {
             long baud = 0;
             if (!ParseNumber(v, 1, 1000000, baud) || !SpeedByBaud(static_cast<int>(baud))) return false;
             o.startBaud = static_cast<int>(baud);
             return true;
         }},
        {"--link", [&](const std::string& v) { o.linkPath = v; return !v.empty(); }},
        {"--scene", [&](const std::string& v) { o.scenePath = v; return !v.empty(); }},
        {"--snap-ms", number(o.snapMilliseconds, 0, 60000)},
        {"--erase-ms", number(o.eraseMilliseconds, 0, 60000)},
        {"--corrupt-block", number(o.corruptBlock, 1, 122)},
        {"--corrupt-times", number(o.corruptTimes, 1, 1000)},
        {"--stall-after", number(o.stallAfter, 0, 100000000)},
        {"--hangup-after", number(o.hangUpAfter, 0, 100000000)},
        {"--refuse",
         [&](const std::string& v) {
             long code = 0;
             if (!ParseNumber(v, 0, 255, code, 16)) return false;
             o.refused.push_back(static_cast<uint8_t>(code));
             return true;
         }},
    };
    const std::map<std::string, bool*> flags{
        {"--pace", &o.pace}, {"--full", &o.full}, {"--verbose", &o.verbose}};

    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (const auto flag = flags.find(name); flag != flags.end()) {
            *flag->second = true;
            continue;
        }
        const auto option = withValue.find(name);
        if (option == withValue.end()) {
            error = "unknown option " + name;
            return std::nullopt;
        }
        if (i + 1 >= argc || !option->second(argv[i + 1])) {
            error = "bad or missing value for " + name;
            return std::nullopt;
        }
        ++i;
    }
    return o;
}

}  // namespace dc2x
