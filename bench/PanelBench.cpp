// The window tracker and the side panel on a private Xvfb, against references in the same run:
//   idle <seconds>   CPU of this process and of the X server while a stand-in host window stays
//                    frontmost, first event-driven (as shipped), then with a 30 Hz poll added
//                    (how the tracker would run if it polled like a timer-driven design).
//   follow <moves>   time from moving the host window to the panel's new position on the server,
//                    median and p99, against the bare round trip of moving a window and seeing
//                    its own ConfigureNotify.
#include "panel/controller/DeviceHubPanel.h"
#include "panel/controller/DeviceHubTracker.h"
#include "panel/controller/SidePanelWindow.h"
#include "platform/data/SystemClock.h"
#include "platform/gui/x11/X11WindowSystem.h"

#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace quorvex;
using Clock = std::chrono::steady_clock;

struct Xvfb {
    pid_t pid = -1;
    std::string display;
    Xvfb() {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
        std::string a[] = {"Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp"};
        char* argv[] = {a[0].data(), a[1].data(), a[2].data(), a[3].data(), a[4].data(),
                        a[5].data(), a[6].data(), a[7].data(), nullptr};
        if (::posix_spawnp(&pid, "Xvfb", &actions, nullptr, argv, environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        char c = 0;
        std::string number;
        while (::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        if (!number.empty())
            display = ":" + number;
    }
    ~Xvfb() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // User plus system time of the server so far, in seconds.
    double cpu() const {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string field;
        std::vector<std::string> fields;
        while (stat >> field)
            fields.push_back(field);
        if (fields.size() < 15)
            return 0;
        return (std::stod(fields[13]) + std::stod(fields[14])) / double(::sysconf(_SC_CLK_TCK));
    }
};

double ownCpu() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Another client's host window, titled like a simulator window and focused.
struct HostWindow {
    xcb_connection_t* c;
    xcb_window_t root;
    xcb_window_t window;
    explicit HostWindow(const std::string& display) {
        c = xcb_connect(display.c_str(), nullptr);
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        root = screen->root;
        xcb_ewmh_connection_t ewmh;
        xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(c, &ewmh), nullptr);
        window = xcb_generate_id(c);
        const uint32_t values[] = {0xb8bcc4, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, 60, 80, 360, 560, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        const char klass[] = "simulator\0Simulator";
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                            sizeof klass, klass);
        const std::string title = "iPhone 15 Pro Max – iOS 17.2";
        xcb_ewmh_set_wm_name(&ewmh, window, uint32_t(title.size()), title.data());
        xcb_ewmh_set_wm_pid(&ewmh, window, uint32_t(::getppid()));
        xcb_map_window(c, window);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        xcb_ewmh_connection_wipe(&ewmh);
        sync();
    }
    ~HostWindow() { xcb_disconnect(c); }
    void sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }
    void move(xcb_window_t w, int x) {
        const uint32_t values[] = {uint32_t(x)};
        xcb_configure_window(c, w, XCB_CONFIG_WINDOW_X, values);
        xcb_flush(c);
    }
    void watch(xcb_window_t w) {
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &mask);
        sync();
    }
    // True once a ConfigureNotify puts `w` at x.
    bool sawAt(xcb_window_t w, int x) {
        bool seen = false;
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            if ((e->response_type & 0x7f) == XCB_CONFIGURE_NOTIFY) {
                const auto* n = reinterpret_cast<xcb_configure_notify_event_t*>(e);
                if (n->window == w && n->x == x)
                    seen = true;
            }
            std::free(e);
        }
        return seen;
    }
};

struct Stack {
    QTemporaryDir folder;
    QSettings defaults{folder.filePath("d.ini"), QSettings::IniFormat};
    std::unique_ptr<X11WindowSystem> windows;
    std::unique_ptr<DeviceHubTracker> tracker;
    std::unique_ptr<DeviceHubPanel> panel;
    SidePanelWindow* window = nullptr;
    explicit Stack(const std::string& display) {
        windows = X11WindowSystem::connect(display.c_str());
        tracker = std::make_unique<DeviceHubTracker>(
            *windows, systemClock(),
            DeviceHubTracker::DeviceSources{
                [] {
                    return std::vector<SimulatorDevice>{{"U1", "iPhone 15 Pro Max", std::nullopt}};
                },
                {}});
        panel = std::make_unique<DeviceHubPanel>(DeviceHubPanel::Dependencies{
            *tracker,
            *windows,
            systemClock(),
            defaults,
            {},
            [this]() -> std::unique_ptr<PanelWindow> {
                auto w = std::make_unique<SidePanelWindow>(*windows, new QLabel("Side Panel"));
                window = w.get();
                return w;
            },
            {}});
        panel->start();
    }
};

// Runs the event loop for a while, sleeping whenever nothing happens.
void spin(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

void idle(const Xvfb& xvfb, double seconds) {
    HostWindow host(xvfb.display);
    Stack stack(xvfb.display);
    spin(1.0); // the panel slides in and settles
    for (const bool poll : {false, true}) {
        QTimer reference;
        if (poll) {
            reference.setInterval(1000 / 30);
            QObject::connect(&reference, &QTimer::timeout, [&] { stack.tracker->poll(); });
            reference.start();
        }
        const double ownBefore = ownCpu(), serverBefore = xvfb.cpu();
        spin(seconds);
        const double own = (ownCpu() - ownBefore) / seconds * 100,
                     server = (xvfb.cpu() - serverBefore) / seconds * 100;
        std::printf("idle %-28s %6.1f s  process %6.3f %% of one core, X server %6.3f %%  (frontmost: %s)\n",
                    poll ? "with a 30 Hz poll (reference)" : "event-driven", seconds, own, server,
                    stack.tracker->isFrontmost() ? "yes" : "no");
    }
}

void report(const char* name, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[std::min(ms.size() - 1, size_t(q * double(ms.size())))]; };
    std::printf("follow %-32s n=%zu  median %.3f ms  p99 %.3f ms  max %.3f ms\n", name, ms.size(), at(0.5),
                at(0.99), ms.back());
}

void follow(const Xvfb& xvfb, int moves) {
    HostWindow host(xvfb.display);
    Stack stack(xvfb.display);
    spin(1.0);
    if (!stack.window) {
        std::printf("follow: the panel did not appear\n");
        return;
    }
    const xcb_window_t panel = xcb_window_t(stack.window->number());
    host.watch(panel);
    std::vector<double> panelMs, referenceMs;
    for (int i = 0; i < moves; ++i) {
        const int x = 40 + (i % 2) * 60;
        host.sawAt(panel, -1); // drop what is queued
        const auto start = Clock::now();
        host.move(host.window, x);
        // The panel's left edge goes to the host's right edge plus the gap.
        while (!host.sawAt(panel, x + 360 + 6)) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (Clock::now() - start > std::chrono::seconds(2))
                break;
        }
        panelMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    // The floor: a window moved and its own ConfigureNotify seen, with nothing in between.
    for (int i = 0; i < moves; ++i) {
        const int x = 40 + (i % 2) * 60 + 1;
        host.sawAt(host.window, -1);
        const auto start = Clock::now();
        host.move(host.window, x);
        while (!host.sawAt(host.window, x)) {
        }
        referenceMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    report("panel follows the host", panelMs);
    report("bare move round trip (reference)", referenceMs);
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "idle";
    const double amount = argc > 2 ? std::atof(argv[2]) : (mode == "idle" ? 60 : 500);
    Xvfb xvfb;
    if (xvfb.display.empty()) {
        std::printf("Xvfb is not available\n");
        return 1;
    }
    ::setenv("DISPLAY", xvfb.display.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    QTemporaryDir home;
    ::setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    if (mode == "follow")
        follow(xvfb, int(amount));
    else
        idle(xvfb, amount);
    return 0;
}
