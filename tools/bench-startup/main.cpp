// SPDX-FileCopyrightText: 2026 AZIVEX developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up time seen from outside: from starting a program to its top-level window
// being mapped on the X server, and to that window's first drawing, for the program
// and for a minimal Qt window, started the same way and alternately so that load from
// other work on the machine falls on both alike.
//
//   azivex-bench-startup [options] [PROGRAM]
//
// Without DISPLAY (or with --own-server) it starts its own Xvfb. A server of one's
// own is the sound choice: a window manager would take the top-level window into a
// frame of its own, and other programs' drawing would be taken for the program's.
// Run with --help for the options.

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

#ifndef AZIVEX_BENCH_PROGRAM
#define AZIVEX_BENCH_PROGRAM ""
#endif
#ifndef AZIVEX_BENCH_MINIMAL
#define AZIVEX_BENCH_MINIMAL ""
#endif
#ifndef AZIVEX_BENCH_MAP
#define AZIVEX_BENCH_MAP ""
#endif

// The settings file of a normal start: port 3, picture 1, no switch panel.
constexpr const char* kSettings =
    "3,9600,N,8,1:0-0/0\r\n"
    "\r\n"
    "Reference\r\n"
    "3(port No),9600,N,8,1(Baudot etc.):0(Offset)-0(Picture No)/0(Control position)\r\n";

volatile std::sig_atomic_t interrupted = 0;

void onSignal(int) {
    interrupted = 1;
}

struct Options {
    std::string program = AZIVEX_BENCH_PROGRAM;
    std::string minimal = AZIVEX_BENCH_MINIMAL;
    std::string map = AZIVEX_BENCH_MAP;
    int runs = 20;
    int warmup = 1;
    double timeoutSeconds = 10;
    double maxRatio = 0; // 0: report only
    bool ownServer = false;
    bool verbose = false;
};

void usage(std::FILE* to) {
    std::fprintf(
        to,
        "usage: azivex-bench-startup [options] [PROGRAM]\n"
        "Times start to window shown for PROGRAM (default: %s) and for a minimal Qt\n"
        "window, alternately, and prints the median and 90th percentile of each and the\n"
        "ratio. Mapped: the X server has put the window on the screen; drawn: the first\n"
        "drawing into it arrived; cpu: processor time the program had used when mapped.\n"
        "  --runs N          measured runs of each program (default 20)\n"
        "  --warmup N        unmeasured runs of each first, to fill file caches (default 1)\n"
        "  --map FILE        the map picture copied to world1.bmp (default: %s)\n"
        "  --minimal FILE    the minimal window program (default: %s)\n"
        "  --timeout SEC     longest wait for one window (default 10)\n"
        "  --max-ratio R     exit with status 1 when the ratio of medians exceeds R\n"
        "  --own-server      start an Xvfb even when DISPLAY is set\n"
        "  --verbose         print every run\n",
        *AZIVEX_BENCH_PROGRAM ? AZIVEX_BENCH_PROGRAM : "none built in",
        *AZIVEX_BENCH_MAP ? AZIVEX_BENCH_MAP : "none built in",
        *AZIVEX_BENCH_MINIMAL ? AZIVEX_BENCH_MINIMAL : "none built in");
}

double number(const char* option, const char* text, double low, double high) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(v >= low && v <= high)) {
        char range[64];
        std::snprintf(range, sizeof range, "from %g to %g", low, high);
        throw std::runtime_error(std::string(option) + " needs a number " + range + ", not '" +
                                 text + "'");
    }
    return v;
}

Options parse(int argc, char* argv[]) {
    Options o;
    bool programGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                throw std::runtime_error(a + " needs a value");
            return argv[++i];
        };
        if (a == "-h" || a == "--help") {
            usage(stdout);
            std::exit(0);
        } else if (a == "--runs") {
            o.runs = static_cast<int>(number("--runs", value(), 1, 10000));
        } else if (a == "--warmup") {
            o.warmup = static_cast<int>(number("--warmup", value(), 0, 10000));
        } else if (a == "--map") {
            o.map = value();
        } else if (a == "--minimal") {
            o.minimal = value();
        } else if (a == "--timeout") {
            o.timeoutSeconds = number("--timeout", value(), 0.1, 3600);
        } else if (a == "--max-ratio") {
            o.maxRatio = number("--max-ratio", value(), 0, 1000);
        } else if (a == "--own-server") {
            o.ownServer = true;
        } else if (a == "--verbose") {
            o.verbose = true;
        } else if (!a.empty() && a[0] == '-') {
            throw std::runtime_error("unknown option " + a + " (see --help)");
        } else if (programGiven) {
            throw std::runtime_error("only one program can be measured");
        } else {
            o.program = a;
            programGiven = true;
        }
    }
    for (const auto& [what, path] :
         {std::pair{"program", &o.program}, std::pair{"minimal window program", &o.minimal},
          std::pair{"map picture", &o.map}}) {
        if (path->empty())
            throw std::runtime_error(std::string("no ") + what + " given (see --help)");
        if (!fs::is_regular_file(*path))
            throw std::runtime_error(std::string(what) + " " + *path + " does not exist");
        *path = fs::absolute(*path).string();
    }
    return o;
}

double millisecondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// A child that goes when the benchmark goes, however it ends.
pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& dir, int outFd, int keepFd = -1) {
    // Everything the child needs is built before the fork: after it only
    // async-signal-safe calls are allowed.
    std::vector<char*> argv;
    for (const std::string& s : args)
        argv.push_back(const_cast<char*>(s.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& s : env)
        envp.push_back(const_cast<char*>(s.c_str()));
    envp.push_back(nullptr);
    const pid_t parent = getpid();

    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent)
            _exit(127);
        if (!dir.empty() && chdir(dir.c_str()) != 0)
            _exit(127);
        const int null = open("/dev/null", O_RDONLY);
        if (null >= 0)
            dup2(null, 0);
        if (outFd >= 0) {
            dup2(outFd, 1);
            dup2(outFd, 2);
        }
        if (keepFd >= 0)
            fcntl(keepFd, F_SETFD, 0);
        execvpe(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

void stop(pid_t pid, int sig = SIGKILL) {
    if (pid <= 0)
        return;
    kill(pid, sig);
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

std::string lastLines(const std::string& path, std::size_t count) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::string out;
    for (std::size_t i = lines.size() > count ? lines.size() - count : 0; i < lines.size(); ++i)
        out += "    " + lines[i] + "\n";
    return out.empty() ? "    (none)\n" : out;
}

// An Xvfb on a display number it chooses itself; it tells the number once it
// accepts connections.
class OwnServer {
  public:
    explicit OwnServer(const std::string& logPath) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe: " + std::string(std::strerror(errno)));
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
        m_pid = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                       "-nolisten", "tcp", "-noreset"},
                      env, {}, log, fds[1]);
        close(fds[1]);
        if (log >= 0)
            close(log);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        const auto deadline = Clock::now() + std::chrono::seconds(15);
        for (;;) {
            const int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count());
            if (left <= 0 || interrupted || poll(&p, 1, left) <= 0)
                break;
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n')
                break;
            number += c;
        }
        close(fds[0]);
        if (number.empty()) {
            stop(m_pid);
            throw std::runtime_error("Xvfb did not start:\n" + lastLines(logPath, 10));
        }
        m_display = ":" + number;
    }
    ~OwnServer() { stop(m_pid, SIGTERM); }
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;
    const std::string& display() const { return m_display; }

  private:
    pid_t m_pid = -1;
    std::string m_display;
};

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Processor time the program has used, all its threads together (ended ones too):
// unlike the time on the clock, it changes little with the load other work puts on
// the machine.
double cpuMilliseconds(pid_t pid) {
    clockid_t clock;
    timespec t{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &t) != 0)
        return NAN;
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct Sample {
    double mappedMs = 0;
    double drawnMs = NAN; // NaN when the server has no damage extension
    double cpuMs = 0;     // used by the program until its window was mapped
    std::string title;
    int width = 0;
    int height = 0;
};

// Watches the root window for new top-level windows, and all drawing on the screen.
class Watcher {
  public:
    explicit Watcher(const std::string& display) {
        m_c = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(m_c))
            throw std::runtime_error("cannot connect to the X server " + display);
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_generic_error_t* err = xcb_request_check(
            m_c, xcb_change_window_attributes_checked(m_c, m_root, XCB_CW_EVENT_MASK, &mask));
        if (err) {
            std::free(err);
            throw std::runtime_error("cannot watch the root window");
        }
        m_pidAtom = atom("_NET_WM_PID");
        m_typeAtom = atom("_NET_WM_WINDOW_TYPE");
        m_dialogAtom = atom("_NET_WM_WINDOW_TYPE_DIALOG");
        m_nameAtom = atom("_NET_WM_NAME");
        m_utf8Atom = atom("UTF8_STRING");
        // Drawing is watched on the root window, which sees what is drawn into the
        // windows on it: a damage object made for a window once it is known (and
        // may already be mapped) would report all of the window as drawn at once.
        const xcb_query_extension_reply_t* damage = xcb_get_extension_data(m_c, &xcb_damage_id);
        if (damage && damage->present) {
            xcb_damage_query_version_reply_t* v =
                xcb_damage_query_version_reply(m_c, xcb_damage_query_version(m_c, 1, 1), nullptr);
            if (v) {
                m_damageEvent = damage->first_event + XCB_DAMAGE_NOTIFY;
                xcb_damage_create(m_c, xcb_generate_id(m_c), m_root,
                                  XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
                std::free(v);
            }
        }
    }
    ~Watcher() { xcb_disconnect(m_c); }
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    bool canSeeDrawing() const { return m_damageEvent >= 0; }

    // Starts the program, waits for its top-level window to be mapped and drawn, and
    // ends it. The clock starts just before the fork; each event is timed as it is
    // read, before any request about it.
    Sample measure(const std::string& program, const std::vector<std::string>& env,
                   const std::string& dir, int outFd, double timeoutSeconds) {
        discardPendingEvents();
        const Clock::time_point start = Clock::now();
        const Clock::time_point deadline =
            start + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(timeoutSeconds));
        Child child(spawn({program}, env, dir, outFd));
        Sample sample;
        xcb_window_t window = XCB_NONE;
        std::map<xcb_window_t, xcb_rectangle_t> placed;
        bool drawn = false;
        while (!drawn) {
            while (const Event ev{xcb_poll_for_event(m_c)}) {
                const Clock::time_point at = Clock::now();
                const int type = ev->response_type & 0x7f;
                if (type == XCB_CREATE_NOTIFY) {
                    const auto* e = reinterpret_cast<xcb_create_notify_event_t*>(ev.get());
                    if (e->parent == m_root)
                        placed[e->window] = {e->x, e->y, e->width, e->height};
                } else if (type == XCB_CONFIGURE_NOTIFY) {
                    const auto* e = reinterpret_cast<xcb_configure_notify_event_t*>(ev.get());
                    if (e->event == m_root)
                        placed[e->window] = {e->x, e->y, e->width, e->height};
                } else if (type == XCB_MAP_NOTIFY && window == XCB_NONE) {
                    const auto* e = reinterpret_cast<xcb_map_notify_event_t*>(ev.get());
                    const double cpu = cpuMilliseconds(child.pid);
                    if (e->event != m_root || e->override_redirect ||
                        windowPid(e->window) != static_cast<uint32_t>(child.pid))
                        continue;
                    if (isDialog(e->window))
                        throw std::runtime_error(
                            "it showed a dialog instead of its window (see its output)");
                    window = e->window;
                    sample.mappedMs = millisecondsBetween(start, at);
                    sample.cpuMs = cpu;
                    drawn = !canSeeDrawing();
                } else if (type == m_damageEvent && window != XCB_NONE) {
                    const auto* e = reinterpret_cast<xcb_damage_notify_event_t*>(ev.get());
                    if (!drawn && overlap(e->area, placed[window])) {
                        sample.drawnMs = millisecondsBetween(start, at);
                        drawn = true;
                    }
                }
            }
            if (!drawn)
                wait(child, deadline, window == XCB_NONE ? "no window" : "no drawing");
        }
        // Asked only now, so that no reply held up the events timed above.
        describe(window, sample);
        child.end();
        awaitDestroyed(window, deadline + std::chrono::seconds(5));
        return sample;
    }

  private:
    struct Child {
        pid_t pid;
        int pidFd = -1; // wakes a wait when the child dies
        explicit Child(pid_t p) : pid(p) {
#ifdef SYS_pidfd_open
            pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
#endif
        }
        ~Child() {
            end();
        }
        Child(const Child&) = delete;
        Child& operator=(const Child&) = delete;
        void end() {
            stop(pid);
            pid = -1;
            if (pidFd >= 0)
                close(pidFd);
            pidFd = -1;
        }
    };

    using Event = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;

    static bool overlap(const xcb_rectangle_t& a, const xcb_rectangle_t& b) {
        return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
               b.y < a.y + a.height;
    }

    // Until the X connection has something to read, the deadline passes or the child
    // ends; only the first is no failure.
    void wait(Child& child, Clock::time_point deadline, const char* missing) {
        if (xcb_connection_has_error(m_c))
            throw std::runtime_error("lost the connection to the X server");
        if (interrupted)
            throw std::runtime_error("interrupted");
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            throw std::runtime_error(std::string(missing) + " within the time-out");
        // Without a pid file descriptor the wait is cut into short slices to look
        // for the child's end.
        pollfd fds[2] = {{xcb_get_file_descriptor(m_c), POLLIN, 0}, {child.pidFd, POLLIN, 0}};
        const int slice = child.pidFd >= 0 ? static_cast<int>(left.count())
                                           : std::min(20, static_cast<int>(left.count()));
        const int n = poll(fds, child.pidFd >= 0 ? 2 : 1, slice);
        if (n < 0 && errno != EINTR)
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        int status = 0;
        if ((child.pidFd < 0 || (n > 0 && fds[1].revents)) &&
            waitpid(child.pid, &status, WNOHANG) == child.pid) {
            child.pid = -1;
            throw std::runtime_error("it ended before showing its window (" +
                                     (WIFEXITED(status)
                                          ? "exit status " + std::to_string(WEXITSTATUS(status))
                                          : "signal " + std::to_string(WTERMSIG(status))) +
                                     ")");
        }
    }

    // The next run starts on an empty screen, so nothing of this one is taken for
    // its drawing.
    void awaitDestroyed(xcb_window_t window, Clock::time_point deadline) {
        for (;;) {
            while (const Event ev{xcb_poll_for_event(m_c)}) {
                if ((ev->response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
                    reinterpret_cast<xcb_destroy_notify_event_t*>(ev.get())->window == window)
                    return;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (xcb_connection_has_error(m_c) || interrupted || left.count() <= 0)
                throw std::runtime_error("the window stayed after the program ended");
            pollfd fd{xcb_get_file_descriptor(m_c), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(left.count()));
        }
    }

    xcb_atom_t atom(const char* name) {
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        if (!r)
            throw std::runtime_error(std::string("cannot look up the atom ") + name);
        const xcb_atom_t a = r->atom;
        std::free(r);
        return a;
    }

    std::vector<uint32_t> cardinals(xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
        std::vector<uint32_t> out;
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, property, type, 0, 64), nullptr);
        if (r && r->format == 32) {
            const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r));
            out.assign(v, v + xcb_get_property_value_length(r) / 4);
        }
        std::free(r);
        return out;
    }

    uint32_t windowPid(xcb_window_t w) {
        const std::vector<uint32_t> v = cardinals(w, m_pidAtom, XCB_ATOM_CARDINAL);
        return v.empty() ? 0 : v.front();
    }

    bool isDialog(xcb_window_t w) {
        const std::vector<uint32_t> types = cardinals(w, m_typeAtom, XCB_ATOM_ATOM);
        return std::find(types.begin(), types.end(), m_dialogAtom) != types.end();
    }

    void describe(xcb_window_t w, Sample& sample) {
        xcb_get_property_reply_t* r = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, w, m_nameAtom, m_utf8Atom, 0, 256), nullptr);
        if (r)
            sample.title.assign(static_cast<const char*>(xcb_get_property_value(r)),
                                static_cast<std::size_t>(xcb_get_property_value_length(r)));
        std::free(r);
        xcb_get_geometry_reply_t* g =
            xcb_get_geometry_reply(m_c, xcb_get_geometry(m_c, w), nullptr);
        if (g) {
            sample.width = g->width;
            sample.height = g->height;
        }
        std::free(g);
    }

    // Left-overs of the previous run are not this run's.
    void discardPendingEvents() {
        // A round trip: every event the server sent before it has arrived after it.
        std::free(xcb_get_input_focus_reply(m_c, xcb_get_input_focus(m_c), nullptr));
        while (const Event ev{xcb_poll_for_event(m_c)}) {
        }
    }

    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_root = XCB_NONE;
    xcb_atom_t m_pidAtom = XCB_NONE;
    xcb_atom_t m_typeAtom = XCB_NONE;
    xcb_atom_t m_dialogAtom = XCB_NONE;
    xcb_atom_t m_nameAtom = XCB_NONE;
    xcb_atom_t m_utf8Atom = XCB_NONE;
    int m_damageEvent = -1;
};

// Nearest-rank percentile of sorted values.
double percentile(const std::vector<double>& sorted, double p) {
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * sorted.size()));
    return sorted.at(std::max<std::size_t>(rank, 1) - 1);
}

double median(const std::vector<double>& sorted) {
    const std::size_t n = sorted.size();
    return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

struct Side {
    std::string name;
    std::string path;
    std::string logPath;
    std::vector<Sample> samples;
    bool described = false;
};

struct Figures {
    double median = 0;
    double p90 = 0;
};

Figures figures(const std::vector<Sample>& samples, double Sample::*field) {
    std::vector<double> v;
    for (const Sample& s : samples)
        v.push_back(s.*field);
    std::sort(v.begin(), v.end());
    return {median(v), percentile(v, 90)};
}

int run(const Options& o) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/azivex-bench-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder: " +
                                 std::string(std::strerror(errno)));
    const fs::path root = pattern;
    struct Cleanup {
        fs::path root;
        ~Cleanup() {
            std::error_code ignored;
            fs::remove_all(root, ignored);
        }
    } cleanup{root};
    // The working directory holds only what a normal start reads.
    const fs::path work = root / "work";
    fs::create_directory(work);
    fs::copy_file(o.map, work / "world1.bmp");
    const auto writeSettings = [&work] {
        std::ofstream(work / "AZIVEX.DAT", std::ios::binary | std::ios::trunc) << kSettings;
    };

    std::optional<OwnServer> server;
    const char* display = std::getenv("DISPLAY");
    if (o.ownServer || !display || !*display)
        server.emplace((root / "xvfb.log").string());
    const std::string displayName = server ? server->display() : std::string(display);
    Watcher watcher(displayName);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string s = *e;
        if (s.rfind("DISPLAY=", 0) != 0 && s.rfind("QT_QPA_PLATFORM=", 0) != 0)
            env.push_back(s);
    }
    env.push_back("DISPLAY=" + displayName);
    env.push_back("QT_QPA_PLATFORM=xcb");

    Side sides[2];
    sides[0] = {fs::path(o.program).filename().string(),
                o.program,
                (root / "program.log").string(),
                {},
                false};
    sides[1] = {"minimal", o.minimal, (root / "minimal.log").string(), {}, false};

    std::printf("start to window shown on %s%s, %d runs each after %d warm-up, alternating\n",
                displayName.c_str(), server ? " (own Xvfb)" : "", o.runs, o.warmup);
    for (int i = 0; i < o.warmup + o.runs; ++i) {
        const bool measured = i >= o.warmup;
        // Which goes first alternates too, so neither always follows the other.
        for (int k = 0; k < 2; ++k) {
            Side& side = sides[(i + k) % 2];
            writeSettings();
            const int out =
                open(side.logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            Sample s;
            try {
                s = watcher.measure(side.path, env, work.string(), out, o.timeoutSeconds);
            } catch (const std::runtime_error& e) {
                if (out >= 0)
                    close(out);
                throw std::runtime_error(side.name + ": " + e.what() + "\n  its output:\n" +
                                         lastLines(side.logPath, 10));
            }
            if (out >= 0)
                close(out);
            if (!side.described) {
                std::printf("  %-10s window \"%s\" %dx%d\n", side.name.c_str(), s.title.c_str(),
                            s.width, s.height);
                side.described = true;
            }
            if (o.verbose)
                std::printf("  %s %-10s mapped %7.1f ms  drawn %7.1f ms  cpu %7.1f ms\n",
                            measured ? "run " : "warm", side.name.c_str(), s.mappedMs, s.drawnMs,
                            s.cpuMs);
            if (measured)
                side.samples.push_back(s);
        }
    }

    struct Column {
        const char* title;
        double Sample::*field;
    };
    std::vector<Column> columns = {{"window mapped", &Sample::mappedMs}};
    if (watcher.canSeeDrawing())
        columns.push_back({"first drawn", &Sample::drawnMs});
    columns.push_back({"cpu until mapped", &Sample::cpuMs});

    std::printf("\n%-12s", "");
    for (const Column& c : columns)
        std::printf("   %19s", c.title);
    std::printf("\n%-12s", "");
    for (std::size_t i = 0; i < columns.size(); ++i)
        std::printf("   %9s %9s", "median", "p90");
    std::printf("\n");
    std::vector<Figures> table[2];
    for (int k = 0; k < 2; ++k) {
        std::printf("%-12s", sides[k].name.c_str());
        for (const Column& c : columns) {
            table[k].push_back(figures(sides[k].samples, c.field));
            std::printf("   %6.1f ms %6.1f ms", table[k].back().median, table[k].back().p90);
        }
        std::printf("\n");
    }
    std::printf("%-12s", "ratio");
    for (std::size_t i = 0; i < columns.size(); ++i)
        std::printf("   %9.2f %9.2f", table[0][i].median / table[1][i].median,
                    table[0][i].p90 / table[1][i].p90);
    std::printf("\n");
    const double ratio = table[0][0].median / table[1][0].median;
    if (o.maxRatio > 0 && ratio > o.maxRatio) {
        std::printf("the ratio of medians %.2f exceeds %.2f\n", ratio, o.maxRatio);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    try {
        return run(parse(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "azivex-bench-startup: %s\n", e.what());
        return 2;
    }
}
