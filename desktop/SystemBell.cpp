#include "desktop/SystemBell.h"

#include "desktop/CanberraBell.h"

#include <QApplication>
#include <QStandardPaths>

namespace {

// The sound for a Qt platform plugin, given whether the sound theme can be played.
SystemBell::Sound soundFor(const QString &platformName, bool soundThemeAvailable)
{
    using Sound = SystemBell::Sound;
    if (platformName == QLatin1String("xcb"))
        return Sound::WindowSystem;
    // No one is there to hear a window system that draws into memory.
    if (platformName == QLatin1String("offscreen") || platformName == QLatin1String("minimal"))
        return Sound::Silence;
    return soundThemeAvailable ? Sound::SoundTheme : Sound::Silence;
}

} // namespace

SystemBell::SystemBell()
{
    const QString platform = QGuiApplication::platformName();
    if (soundFor(platform, true) == Sound::SoundTheme) {
        // libcanberra on its own plays the freedesktop theme; so does this lookup.
        m_theme = std::make_unique<CanberraBell>(
            findThemeSound(QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation),
                           QStringLiteral("freedesktop"), QStringLiteral("bell-window-system")));
    }
    m_kind = soundFor(platform, m_theme && m_theme->available());
    switch (m_kind) {
    case Sound::WindowSystem:
        m_sound = [] { QApplication::beep(); };
        break;
    case Sound::SoundTheme:
        m_sound = [this] { m_theme->ring(); };
        break;
    case Sound::Silence:
        m_theme.reset();
        m_sound = [] {};
        break;
    }
    setUpSpacing(Gap);
}

SystemBell::SystemBell(std::function<void()> sound, std::chrono::milliseconds gap, Clock clock)
    : m_sound(std::move(sound)), m_clock(std::move(clock))
{
    setUpSpacing(gap);
}

SystemBell::~SystemBell() = default;

void SystemBell::setUpSpacing(std::chrono::milliseconds gap)
{
    if (!m_clock)
        m_clock = [] { return std::chrono::steady_clock::now().time_since_epoch(); };
    m_gap = gap;
    m_spacing.setSingleShot(true);
    m_spacing.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_spacing, &QTimer::timeout, [this] {
        if (m_waiting > 0 && soundIfDue() && --m_waiting > 0)
            soundIfDue(); // times the next
    });
}

bool SystemBell::soundIfDue()
{
    const std::chrono::nanoseconds now = m_clock(), since = m_last ? now - *m_last : m_gap;
    if (since >= m_gap) {
        m_last = now;
        m_sound();
        return true;
    }
    // A timer may end a little early by this clock: it is then started again for the rest.
    m_spacing.start(std::chrono::ceil<std::chrono::milliseconds>(m_gap - since));
    return false;
}

void SystemBell::ring()
{
    // One bell may wait for the one sounding, so that the reset button's two are heard as two.
    // A bell that would have to wait behind it is dropped: a child hammering the keys must not
    // hear beeps for half a minute after the last answer.
    if (m_waiting > 0 || !soundIfDue())
        m_waiting = 1;
}
