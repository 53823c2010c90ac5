// The moment a window of a given size appears on the X display, as the user
// would see it: the start-up bench takes the time from a program's launch to
// the mapping of its window, for the assistant's popup and for a bare window
// of the same size. Wine maps a top-level window as a child of the root
// window, so watching the root's children sees every one of them; the event
// is stamped as it is read, on the same clock as Python's time.monotonic().
//
//   qmx_bench_mapped WIDTH HEIGHT [TIMEOUT_S]
// prints "ready" once it watches, then "mapped SECONDS" (CLOCK_MONOTONIC) for
// the first window of WIDTH x HEIGHT mapped after that. Exit code 1 when none
// is mapped within TIMEOUT_S (default 60), 2 on a usage or display error.
#include <X11/Xlib.h>

#include <sys/select.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

double MonotonicSeconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// A window that is gone again before its size is asked for is no error here.
int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT [TIMEOUT_S]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]);
    const int height = std::atoi(argv[2]);
    const double timeout = argc > 3 ? std::atof(argv[3]) : 60.0;
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "%s: cannot open the display\n", argv[0]);
        return 2;
    }
    XSetErrorHandler(IgnoreXError);
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);

    const double deadline = MonotonicSeconds() + timeout;
    const int fd = ConnectionNumber(display);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != MapNotify)
                continue;
            const double at = MonotonicSeconds();
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display, event.xmap.window, &attributes) &&
                attributes.width == width && attributes.height == height) {
                std::printf("mapped %.6f\n", at);
                XCloseDisplay(display);
                return 0;
            }
        }
        const double left = deadline - MonotonicSeconds();
        if (left <= 0)
            break;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        timeval wait;
        wait.tv_sec = static_cast<time_t>(left);
        wait.tv_usec = static_cast<suseconds_t>((left - static_cast<double>(wait.tv_sec)) * 1e6);
        select(fd + 1, &readable, nullptr, nullptr, &wait);
    }
    std::fprintf(stderr, "%s: no %dx%d window mapped within %.0f s\n", argv[0], width, height,
                 timeout);
    XCloseDisplay(display);
    return 1;
}
