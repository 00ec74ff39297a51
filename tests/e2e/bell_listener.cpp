// Prints "ready" once it listens, then one line per bell rung on the X display ($DISPLAY), as
// the XKB extension reports it. The end-to-end tests count the lines.
#include <X11/XKBlib.h>

#include <cstdio>

int main()
{
    int event = 0, error = 0, reason = 0;
    int major = XkbMajorVersion, minor = XkbMinorVersion;
    Display *display = XkbOpenDisplay(nullptr, &event, &error, &major, &minor, &reason);
    if (!display) {
        std::fprintf(stderr, "bell_listener: no display with XKB (reason %d)\n", reason);
        return 1;
    }
    if (!XkbSelectEvents(display, XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask)) {
        std::fprintf(stderr, "bell_listener: XKB bell events refused\n");
        return 1;
    }
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        XEvent e;
        XNextEvent(display, &e); // ends the program through Xlib's I/O error when the server goes
        if (e.type != event)
            continue;
        const auto &xkb = reinterpret_cast<const XkbEvent &>(e);
        if (xkb.any.xkb_type == XkbBellNotify) {
            std::printf("bell %lu\n", static_cast<unsigned long>(xkb.bell.time));
            std::fflush(stdout);
        }
    }
}
