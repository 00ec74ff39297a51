#pragma once

#include "Screen.h"

#include <QPointer>

#include <array>
#include <functional>

// One slot per screen. A slot is filled the first time its screen is shown and stays filled for
// the whole run; what comes and goes is the screen's window, built on every show and destroyed
// on every unload.
class ScreenRegistry {
public:
    using Factory = std::function<Screen *(ScreenId)>;

    explicit ScreenRegistry(Factory factory);
    ~ScreenRegistry();
    ScreenRegistry(const ScreenRegistry &) = delete;
    ScreenRegistry &operator=(const ScreenRegistry &) = delete;

    // Creates the slot if needed, loads the screen if it is not loaded (its Form_Load runs), then
    // makes its window visible. Returns at once.
    Screen *show(ScreenId id);

    // Hides the screen's window at once and destroys it with its controls as soon as the running
    // event handler has returned, so a handler of that very window can go on to its end.
    void unload(ScreenId id);

    // From one screen to another: the target is shown first, then the current screen unloaded,
    // so that some screen is loaded at every moment.
    void switchScreen(ScreenId from, ScreenId to);

    // Called when the user closes a window with its frame's close control.
    void closedByUser(ScreenId id);

    Screen *loaded(ScreenId id) const;
    bool created(ScreenId id) const { return m_slots[index(id)].created; }
    int loadCount(ScreenId id) const { return m_slots[index(id)].loads; }
    int loadedCount() const;

    // Runs when the last loaded screen has been closed by the user.
    std::function<void()> onLastClosed;

private:
    struct Slot {
        bool created = false;
        int loads = 0;
        QPointer<Screen> window;
    };
    static int index(ScreenId id) { return static_cast<int>(id); }

    Factory m_factory;
    std::array<Slot, ScreenCount> m_slots;
};
