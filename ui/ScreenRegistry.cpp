#include "ui/ScreenRegistry.h"

#include "core/Modulo1.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <memory>

ScreenRegistry::ScreenRegistry(Modulo1 &module, Factory factory)
    : m_module(module), m_factory(std::move(factory))
{
    m_module.screens = this;
}

ScreenRegistry::~ScreenRegistry()
{
    if (m_module.screens == this)
        m_module.screens = nullptr;
    for (Slot &slot : m_slots)
        delete slot.window.data();
}

void ScreenRegistry::show(ScreenId id)
{
    Slot &slot = m_slots[index(id)];
    slot.created = true;
    if (!slot.window) {
        // Until its load has run to its end the window belongs to nobody: a load that fails
        // leaves no half-built screen behind.
        std::unique_ptr<Screen> window(m_factory(id));
        if (m_fillAlways || m_module.settings.schermoIntero)
            window->fillScreen(targetScreen());
        window->Form_Load();
        slot.window = window.release();
        ++slot.loads;
    }
    if (slot.window->fillsScreen())
        slot.window->showFullScreen();
    else
        slot.window->show();
}

QScreen *ScreenRegistry::targetScreen() const
{
    for (const Slot &slot : m_slots)
        if (slot.window)
            return slot.window->screen();
    QScreen *under = QGuiApplication::screenAt(QCursor::pos());
    return under ? under : QGuiApplication::primaryScreen();
}

void ScreenRegistry::unload(ScreenId id)
{
    Slot &slot = m_slots[index(id)];
    if (Screen *window = slot.window) {
        slot.window = nullptr;
        window->hide();
        window->deleteLater();
    }
}

Screen *ScreenRegistry::loaded(ScreenId id) const { return m_slots[index(id)].window; }

int ScreenRegistry::loadedCount() const
{
    int n = 0;
    for (const Slot &slot : m_slots)
        n += slot.window ? 1 : 0;
    return n;
}

QSize ScreenRegistry::pixelSize(ScreenId id, QSize designSize) const
{
    const Screen *window = loaded(id);
    return window ? window->pixelSize(designSize) : designSize;
}
