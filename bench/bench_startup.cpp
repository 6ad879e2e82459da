// Start-up of the program against an empty Qt window of the same size and
// against that window showing one word (the floor of any window with text:
// fonts are found and loaded), in the same run and in turns: the time from exec to the main window mapped on
// the X server, the CPU time spent by then (which a loaded machine disturbs
// less than the time), and the peak memory (VmHWM) once the window is up and
// the process has gone idle. Needs an X server: under Xvfb,
//   xvfb-run -a build/bench/bench_startup [ROUNDS [PROGRAM...]]
// A real X server (Xvfb) rather than Qt's offscreen platform, which has no
// window to map and loads nothing of the X connection's.
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "base/Formats.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Launch {
    double ms = 0;    // exec to the window mapped
    double cpuMs = 0; // CPU time of all its threads when the map was seen
    long peakKb = 0;  // VmHWM once idle
    int width = 0, height = 0;
};

// A status line of /proc/PID/status, in kB.
long statusKb(pid_t pid, const char* key)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(in, line))
        if (line.rfind(prefix, 0) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    return -1;
}

// CPU time of all the threads of a process so far, in ms (the scheduler's
// nanoseconds: the clock ticks of /proc/PID/stat are too coarse for a start-up).
double cpuMsSoFar(pid_t pid)
{
    std::error_code error;
    double ns = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "schedstat");
        double runNs = 0;
        if (in >> runNs)
            ns += runNs;
    }
    return ns / 1e6;
}

// User and system CPU time of a process, in clock ticks.
long cpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = all.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(all.substr(close + 2));
    std::string field;
    long utime = 0, stime = 0;
    // After the name: state is field 3, utime 14, stime 15.
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::strtol(field.c_str(), nullptr, 10);
        if (i == 15)
            stime = std::strtol(field.c_str(), nullptr, 10);
    }
    return utime + stime;
}

class XWatch {
public:
    XWatch() : c_(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(c_))
            return;
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
        const char name[] = "_NET_WM_PID";
        xcb_intern_atom_reply_t* r =
            xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, sizeof name - 1, name), nullptr);
        if (r) {
            pidAtom_ = r->atom;
            free(r);
        }
        xcb_flush(c_);
        ok_ = pidAtom_ != XCB_ATOM_NONE;
    }
    ~XWatch() { xcb_disconnect(c_); }
    bool ok() const { return ok_; }

    // Waits until a top-level window of `pid` is mapped; its size, or nothing
    // after `timeoutMs` or when the process has ended.
    std::optional<std::pair<int, int>> waitForMap(pid_t pid, int timeoutMs)
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
                std::optional<std::pair<int, int>> size;
                if ((e->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                    const auto* m = reinterpret_cast<xcb_map_notify_event_t*>(e);
                    if (!m->override_redirect && windowPid(m->window) == pid)
                        size = windowSize(m->window);
                }
                free(e);
                if (size)
                    return size;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || waitpid(pid, nullptr, WNOHANG) != 0)
                return std::nullopt;
            pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
            poll(&p, 1, static_cast<int>(std::min<long long>(left, 50)));
        }
    }

private:
    pid_t windowPid(xcb_window_t w)
    {
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            c_, xcb_get_property(c_, 0, w, pidAtom_, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        pid_t pid = -1;
        if (r && xcb_get_property_value_length(r) == 4)
            pid = static_cast<pid_t>(*static_cast<uint32_t*>(xcb_get_property_value(r)));
        free(r);
        return pid;
    }
    std::pair<int, int> windowSize(xcb_window_t w)
    {
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, w), nullptr);
        std::pair<int, int> size{0, 0};
        if (g)
            size = {g->width, g->height};
        free(g);
        return size;
    }

    xcb_connection_t* c_;
    xcb_window_t root_ = 0;
    xcb_atom_t pidAtom_ = XCB_ATOM_NONE;
    bool ok_ = false;
};

std::optional<Launch> launch(XWatch& x, const std::vector<std::string>& argv, const std::string& home)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        return std::nullopt;
    if (pid == 0) {
        // A home of its own, so that no settings of the user's are read.
        if (chdir(home.c_str()) != 0)
            _exit(127);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        setenv("XDG_RUNTIME_DIR", home.c_str(), 1);
        execv(args[0], args.data());
        _exit(127);
    }
    std::optional<Launch> result;
    if (const auto size = x.waitForMap(pid, 20000)) {
        Launch l;
        l.ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        l.cpuMs = cpuMsSoFar(pid);
        l.width = size->first;
        l.height = size->second;
        // Idle: no CPU time spent over 100 ms (the first frame is drawn), 3 s at most.
        long last = cpuTicks(pid);
        for (int i = 0; i < 30; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const long now = cpuTicks(pid);
            if (now == last)
                break;
            last = now;
        }
        l.peakKb = statusKb(pid, "VmHWM");
        result = l;
    }
    kill(pid, SIGTERM);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return result;
}

std::vector<std::string> with(std::vector<std::string> args, const std::string& more)
{
    args.push_back(more);
    return args;
}

struct Summary {
    double median, low, high;
};

Summary summarise(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v.front(), v.back()};
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(3, static_cast<int>(textToInt(argv[1]))) : 15;
    // Several programs (builds of it) are measured in the same turns.
    std::vector<std::string> programs(argv + std::min(argc, 2), argv + argc);
    if (programs.empty())
        programs.push_back(DADIZ_PROGRAM_PATH);
    // Each runs in a folder of its own.
    for (std::string& program : programs)
        program = std::filesystem::absolute(program).string();
    const std::string empty = DADIZ_EMPTY_WINDOW_PATH;
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_startup: no X server (DISPLAY is not set); run it as xvfb-run -a %s\n", argv[0]);
        return 2;
    }
    XWatch x;
    if (!x.ok()) {
        std::fprintf(stderr, "bench_startup: cannot watch the X server of DISPLAY=%s\n", std::getenv("DISPLAY"));
        return 2;
    }
    char folder[] = "/tmp/dadiz-startup-XXXXXX";
    if (!mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string home = folder;

    // Each program once, unmeasured, for the size of its main window (and a
    // warm file cache for all).
    std::optional<Launch> first;
    for (const std::string& program : programs) {
        first = launch(x, {program}, home);
        if (!first) {
            std::fprintf(stderr, "bench_startup: %s mapped no window\n", program.c_str());
            return 1;
        }
    }
    // The references: an empty window of the same size, and the same window
    // showing one word, which is what any window with text loads (fonts).
    const std::vector<std::string> emptyArgs = {empty, std::to_string(first->width), std::to_string(first->height)};
    struct Reference {
        const char* name;
        std::vector<std::string> args;
    };
    const Reference references[] = {{"empty window", emptyArgs}, {"one label", with(emptyArgs, "Visualizador")}};
    for (const Reference& r : references)
        if (!launch(x, r.args, home)) {
            std::fprintf(stderr, "bench_startup: the %s was not mapped\n", r.name);
            return 1;
        }

    // Rows: the references, then the programs.
    const std::size_t rows = std::size(references) + programs.size();
    std::vector<std::vector<double>> ms(rows), kb(rows), cpu(rows);
    for (int i = 0; i < rounds; ++i) {
        for (std::size_t k = 0; k < rows; ++k) {
            const auto l = k < std::size(references) ? launch(x, references[k].args, home)
                                                     : launch(x, {programs[k - std::size(references)]}, home);
            if (!l) {
                std::fprintf(stderr, "bench_startup: round %d: a window was not mapped\n", i + 1);
                return 1;
            }
            ms[k].push_back(l->ms);
            kb[k].push_back(static_cast<double>(l->peakKb));
            cpu[k].push_back(l->cpuMs);
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);

    std::printf("%s", cfmt("start-up to the mapped main window, %d rounds in turns, window %dx%d, X server %s\n",
                           rounds, first->width, first->height, std::getenv("DISPLAY")).c_str());
    const Summary et = summarise(ms[0]), em = summarise(kb[0]), ec = summarise(cpu[0]);
    for (std::size_t k = 0; k < rows; ++k) {
        const Summary pt = summarise(ms[k]), pm = summarise(kb[k]), pc = summarise(cpu[k]);
        std::printf("%s\n", k < std::size(references) ? references[k].name : programs[k - std::size(references)].c_str());
        std::printf("%s", cfmt("              median %7.1f ms (%.1f .. %.1f)  peak memory median %6.0f kB (%.0f .. %.0f)\n",
                               pt.median, pt.low, pt.high, pm.median, pm.low, pm.high).c_str());
        std::printf("%s", cfmt("              CPU time when mapped median %6.1f ms (%.1f .. %.1f)\n",
                               pc.median, pc.low, pc.high).c_str());
        if (k > 0)
            std::printf("%s", cfmt("              ratio to the empty window: time %.2f, peak memory %.2f, CPU when mapped %.2f\n",
                                   pt.median / et.median, pm.median / em.median, pc.median / ec.median).c_str());
        if (k >= std::size(references)) {
            const Summary lt = summarise(ms[1]), lm = summarise(kb[1]), lc = summarise(cpu[1]);
            std::printf("%s", cfmt("              ratio to one label:        time %.2f, peak memory %.2f, CPU when mapped %.2f\n",
                                   pt.median / lt.median, pm.median / lm.median, pc.median / lc.median).c_str());
        }
    }
    return 0;
}
