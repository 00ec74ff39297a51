#include "ScreenRegistry.h"

#include <memory>

ScreenRegistry::ScreenRegistry(Factory factory) : m_factory(std::move(factory)) {}

ScreenRegistry::~ScreenRegistry()
{
    for (Slot &slot : m_slots)
        delete slot.window.data();
}

Screen *ScreenRegistry::show(ScreenId id)
{
    Slot &slot = m_slots[index(id)];
    slot.created = true;
    if (!slot.window) {
        // Until its load has run to its end the window belongs to nobody: a load that fails
        // leaves no half-built screen behind.
        std::unique_ptr<Screen> window(m_factory(id));
        window->Form_Load();
        slot.window = window.release();
        ++slot.loads;
    }
    slot.window->show();
    return slot.window;
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

void ScreenRegistry::switchScreen(ScreenId from, ScreenId to)
{
    show(to);
    unload(from);
}

void ScreenRegistry::closedByUser(ScreenId id)
{
    unload(id);
    if (loadedCount() == 0 && onLastClosed)
        onLastClosed();
}

Screen *ScreenRegistry::loaded(ScreenId id) const { return m_slots[index(id)].window; }

int ScreenRegistry::loadedCount() const
{
    int n = 0;
    for (const Slot &slot : m_slots)
        n += slot.window ? 1 : 0;
    return n;
}
