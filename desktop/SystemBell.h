#pragma once

#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class CanberraBell;

// The program's beep: the desktop's own alert sound, chosen once for the window system Qt runs
// on. On X11 it is the X bell, which desktops turn into their themed sound; elsewhere (Wayland,
// where Qt has no beep) the "bell-window-system" sound of the freedesktop sound theme through
// libcanberra; where neither exists, silence. ring() never waits: a bell that comes sooner than
// Gap after the one sounded last is sounded by a timer, Gap after it by the bell's clock, so two
// bells in a row are two sounds; at most one bell waits, and one that comes while another waits
// is dropped.
class SystemBell {
public:
    enum class Sound { WindowSystem, SoundTheme, Silence };
    static constexpr std::chrono::milliseconds Gap{200};
    // The time the gaps are measured in: the steady clock's, or a test's.
    using Clock = std::function<std::chrono::nanoseconds()>;

    // The bell of the running application's window system.
    SystemBell();
    // A bell that sounds through the given function (the tests count the calls), its gaps
    // measured by clock.
    SystemBell(std::function<void()> sound, std::chrono::milliseconds gap, Clock clock = {});
    ~SystemBell();
    SystemBell(const SystemBell &) = delete;
    SystemBell &operator=(const SystemBell &) = delete;

    void ring();
    Sound sound() const { return m_kind; }
    // Bells rung but not sounded yet: 0 or 1.
    int waiting() const { return m_waiting; }

private:
    void setUpSpacing(std::chrono::milliseconds gap);
    // Sounds now if the last sound is at least the gap ago; otherwise times the rest of the gap.
    bool soundIfDue();

    Sound m_kind = Sound::Silence;
    std::unique_ptr<CanberraBell> m_theme;
    std::function<void()> m_sound;
    Clock m_clock;
    std::chrono::nanoseconds m_gap{};
    std::optional<std::chrono::nanoseconds> m_last; // when the last sound was made
    QTimer m_spacing;
    int m_waiting = 0;
};
