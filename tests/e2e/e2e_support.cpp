#include "tests/e2e/e2e_support.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {
int shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shell_quoted(const std::string& s) {
    return "'" + s + "'";
}

// Exit code of a process as the shell reports it: -1 comes back as 255.
constexpr int kExitCodeMinusOne = 255;
}  // namespace

std::string read_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> read_bytes(const std::string& path) {
    const std::string s = read_text(path);
    return {s.begin(), s.end()};
}

namespace {
std::string scratch_directory() {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/kelvartix_e2e_XXXXXX";
    return mkdtemp(pattern.data()) == nullptr ? "" : pattern;
}

// Converts dir/log.vxp in dir: the RINEX files go to the working directory, the inertial files and
// the log beside the input. The options hold "-inertial_data novatel" unless they name the
// inertial formats themselves.
void convert(Conversion& c, const std::string& options) {
    c.truth = Json::parse(read_text(c.dir + "/log.truth.json"), nullptr, false);
    c.simulated = !c.truth.is_discarded();
    if (!c.simulated)
        return;
    const std::string inertial =
        options.find("-inertial_data") == std::string::npos ? "-inertial_data novatel " : "";
    const int code = shell("cd " + shell_quoted(c.dir) + " && " + KELVARTIX_BIN + " log.vxp " + inertial + options +
                           " > console.txt 2>&1");
    c.exit_code = code == kExitCodeMinusOne ? -1 : code;
    c.console = read_text(c.dir + "/console.txt");
}
}  // namespace

Conversion simulate_and_convert(const std::string& sim_args, const std::string& options) {
    Conversion c;
    c.dir = scratch_directory();
    if (c.dir.empty())
        return c;
    const std::string sim = std::string(VXPSIM_BIN) + " -o " + shell_quoted(c.dir + "/log.vxp") +
                            " --truth " + shell_quoted(c.dir + "/log.truth.json") + " " + sim_args + " > " +
                            shell_quoted(c.dir + "/sim.txt") + " 2>&1";
    if (shell(sim) == 0)
        convert(c, options);
    return c;
}

Conversion convert_copy(const std::string& log, const std::string& truth, const std::string& options) {
    Conversion c;
    c.dir = scratch_directory();
    if (c.dir.empty())
        return c;
    std::error_code error;
    std::filesystem::copy_file(log, c.dir + "/log.vxp", error);
    if (!error)
        std::filesystem::copy_file(truth, c.dir + "/log.truth.json", error);
    if (!error)
        convert(c, options);
    return c;
}

bool rtklib_available() {
    static const bool available = [] {
        const std::string probe = "command -v rnx2rtkp > /dev/null 2>&1";
        if (shell(probe) == 0)
            return true;
        shell(
            "(DEBIAN_FRONTEND=noninteractive apt-get install -y -q rtklib || "
            "(apt-get update -q && DEBIAN_FRONTEND=noninteractive apt-get install -y -q rtklib)) > /dev/null "
            "2>&1");
        return shell(probe) == 0;
    }();
    return available;
}

std::string find_file(const std::string& dir, const std::string& prefix, const std::string& suffix) {
    std::string found;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.size() >= prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            found = name;
            ++count;
        }
    }
    return count == 1 ? found : "";
}

std::vector<Fix> single_point_positions(const std::string& dir, const std::string& obs,
                                        const std::string& nav, int navsys, bool atmosphere) {
    const std::string tag = std::to_string(navsys) + (atmosphere ? "a_" : "_") + obs.substr(0, 6);
    const std::string conf = dir + "/spp_" + tag + ".conf";
    const std::string out = dir + "/spp_" + tag + ".pos";
    std::ofstream(conf) << "pos1-posmode       =single\n"
                           "pos1-elmask        =10\n"
                        << "pos1-ionoopt       =" << (atmosphere ? "brdc" : "off")
                        << "\n"
                           "pos1-tropopt       ="
                        << (atmosphere ? "saas" : "off")
                        << "\n"
                           "pos1-sateph        =brdc\n"
                           "pos1-navsys        ="
                        << navsys
                        << "\n"
                           "out-solformat      =xyz\n"
                           "out-timesys        =gpst\n"
                           "out-timeform       =tow\n";
    std::vector<Fix> fixes;
    if (shell("rnx2rtkp -k " + shell_quoted(conf) + " -o " + shell_quoted(out) + " " +
              shell_quoted(dir + "/" + obs) + " " + shell_quoted(dir + "/" + nav) + " > /dev/null 2>&1") != 0)
        return fixes;
    std::istringstream lines(read_text(out));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '%')
            continue;
        Fix f;
        std::istringstream fields(line);
        if (fields >> f.week >> f.tow >> f.x >> f.y >> f.z >> f.quality >> f.satellites)
            fixes.push_back(f);
    }
    return fixes;
}

std::vector<ObsEpoch> observation_epochs(const std::string& text) {
    std::vector<ObsEpoch> epochs;
    std::istringstream lines(text);
    std::string line;
    bool header = true;
    while (std::getline(lines, line)) {
        if (header) {
            header = line.find("END OF HEADER") == std::string::npos;
            continue;
        }
        if (line.empty() || line[0] != '>')
            continue;
        ObsEpoch e;
        int year = 0, month = 0, day = 0, hour = 0, minute = 0;
        double second = 0.0;
        if (std::sscanf(line.c_str(), "> %d %d %d %d %d %lf %d %d", &year, &month, &day, &hour, &minute,
                        &second, &e.flag, &e.satellites) == 8) {
            e.seconds_of_day = hour * 3600.0 + minute * 60.0 + second;
        } else if (line.size() >= 35) {
            // An event line: blank epoch fields, flag in column 32, record count in column 35.
            e.flag = line[31] - '0';
            e.seconds_of_day = -1.0;
        }
        epochs.push_back(e);
    }
    return epochs;
}

const Json& truth_receiver(const Json& truth, int index) {
    static const Json missing;
    for (const Json& r : truth["receivers"])
        if (r["index"].get<int>() == index)
            return r;
    return missing;
}
