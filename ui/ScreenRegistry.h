#pragma once

#include "core/ScreenHost.h"
#include "ui/DoubleClickGuard.h"
#include "ui/Screen.h"

#include <QPointer>

class QScreen;

#include <array>
#include <functional>

// One slot per screen. A slot is filled the first time its screen is shown and stays filled for
// the whole run; what comes and goes is the screen's window, built on every show and destroyed
// on every unload. The screens themselves come from the factory the program's entry gives.
class ScreenRegistry : public ScreenHost {
public:
    using Factory = std::function<Screen *(ScreenId)>;

    // Registers itself as the module's screens for as long as it lives.
    ScreenRegistry(Modulo1 &module, Factory factory);
    ~ScreenRegistry() override;
    ScreenRegistry(const ScreenRegistry &) = delete;
    ScreenRegistry &operator=(const ScreenRegistry &) = delete;

    // Every window fills its screen whatever the folder's settings say: the command line's
    // choice for a whiteboard, given by the program's entry before Main.
    void fillScreensAlways(bool always) { m_fillAlways = always; }

    // A new window fills its screen when the folder's settings or the command line ask for it.
    void show(ScreenId id) override;
    // Hides the screen's window at once and destroys it with its controls as soon as the running
    // event handler has returned, so a handler of that very window can go on to its end.
    void unload(ScreenId id) override;
    int loadedCount() const override;
    QSize pixelSize(ScreenId id, QSize designSize) const override;

    Screen *loaded(ScreenId id) const;
    bool created(ScreenId id) const { return m_slots[index(id)].created; }
    int loadCount(ScreenId id) const { return m_slots[index(id)].loads; }

private:
    struct Slot {
        bool created = false;
        int loads = 0;
        QPointer<Screen> window;
    };
    static std::size_t index(ScreenId id) { return static_cast<std::size_t>(id); }
    // The screen a new window fills: the one of the window it replaces, or at start-up the one
    // under the pointer.
    QScreen *targetScreen() const;

    Modulo1 &m_module;
    DoubleClickGuard m_doubleClicks;
    Factory m_factory;
    bool m_fillAlways = false;
    std::array<Slot, static_cast<std::size_t>(ScreenId::Count)> m_slots;
};
