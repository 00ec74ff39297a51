#include "desktop/CanberraBell.h"

#include <QFileInfo>

#include <algorithm>
#include <initializer_list>
#include <type_traits>
#include <utility>

#include <dlfcn.h>

namespace {

// The part of libcanberra's interface the bell uses, declared here so that building the
// program does not need its headers.
struct ca_context;
struct ca_proplist;
using ca_finish_callback_t = void (*)(ca_context *, std::uint32_t, int, void *);
constexpr int CA_SUCCESS = 0;

} // namespace

struct CanberraBell::Library {
    int (*contextCreate)(ca_context **) = nullptr;
    int (*contextDestroy)(ca_context *) = nullptr;
    int (*contextChangeProps)(ca_context *, ca_proplist *) = nullptr;
    int (*playFull)(ca_context *, std::uint32_t, ca_proplist *, ca_finish_callback_t,
                    void *) = nullptr;
    int (*proplistCreate)(ca_proplist **) = nullptr;
    int (*proplistDestroy)(ca_proplist *) = nullptr;
    int (*proplistSets)(ca_proplist *, const char *, const char *) = nullptr;

    bool load()
    {
        // Never closed again: the sound drivers it loads may keep threads until the process ends.
        void *handle = dlopen("libcanberra.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return false;
        const auto bind = [handle](auto &function, const char *name) {
            function =
                reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
            return function != nullptr;
        };
        return bind(contextCreate, "ca_context_create")
               && bind(contextDestroy, "ca_context_destroy")
               && bind(contextChangeProps, "ca_context_change_props_full")
               && bind(playFull, "ca_context_play_full")
               && bind(proplistCreate, "ca_proplist_create")
               && bind(proplistDestroy, "ca_proplist_destroy")
               && bind(proplistSets, "ca_proplist_sets");
    }

    // A property list with the given pairs, or null.
    ca_proplist *properties(std::initializer_list<std::pair<const char *, const char *>> pairs)
    {
        ca_proplist *list = nullptr;
        if (proplistCreate(&list) != CA_SUCCESS)
            return nullptr;
        for (const auto &[key, value] : pairs)
            proplistSets(list, key, value);
        return list;
    }
};

CanberraBell::CanberraBell(QString soundFile) : m_file(std::move(soundFile))
{
    auto library = std::make_unique<Library>();
    if (!m_file.isEmpty() && library->load())
        m_library = std::move(library);
}

CanberraBell::~CanberraBell()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

bool CanberraBell::available() const { return m_library != nullptr; }

void CanberraBell::ring()
{
    if (!m_library)
        return;
    {
        const std::lock_guard lock(m_mutex);
        // As in the bell above it: one sound may wait for the one playing, no more.
        if (m_queued < (m_busy ? 1 : 2))
            ++m_queued;
    }
    m_wake.notify_all();
    // Started with the first sound: a session without a beep never opens the sound system.
    if (!m_worker.joinable())
        m_worker = std::thread([this] { run(); });
}

int CanberraBell::handled() const
{
    const std::lock_guard lock(m_mutex);
    return m_handled;
}

int CanberraBell::played() const
{
    const std::lock_guard lock(m_mutex);
    return m_played;
}

void CanberraBell::soundFinished(std::uint32_t id)
{
    {
        const std::lock_guard lock(m_mutex);
        m_finishedId = std::max(m_finishedId, id);
    }
    m_wake.notify_all();
}

void CanberraBell::run()
{
    Library &ca = *m_library;
    const QByteArray file = m_file.toLocal8Bit();
    ca_context *context = nullptr;
    if (ca.contextCreate(&context) != CA_SUCCESS)
        context = nullptr;
    if (context) {
        if (ca_proplist *app =
                ca.properties({{"application.name", "Diveva"}, {"application.id", "diveva"}})) {
            ca.contextChangeProps(context, app);
            ca.proplistDestroy(app);
        }
    }
    // Called by libcanberra from its own thread, or from within the calls below.
    const ca_finish_callback_t finished = [](ca_context *, std::uint32_t id, int, void *bell) {
        static_cast<CanberraBell *>(bell)->soundFinished(id);
    };

    std::uint32_t id = 0;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_queued > 0; });
        if (m_stopping)
            break;
        --m_queued;
        m_busy = true;
        ++id;
        lock.unlock();
        // The file is named rather than the event: given an event name, libcanberra keeps a
        // lookup cache in the user's home folder, and this program writes no file.
        bool playing = false;
        if (context) {
            if (ca_proplist *sound = ca.properties({{"media.filename", file.constData()},
                                                    {"media.role", "event"},
                                                    {"event.description", "Segnale acustico"},
                                                    {"canberra.cache-control", "never"}})) {
                playing = ca.playFull(context, id, sound, finished, this) == CA_SUCCESS;
                ca.proplistDestroy(sound);
            }
        }
        lock.lock();
        if (playing) {
            ++m_played;
            m_wake.wait_for(lock, MaxSoundLength, [&] { return m_stopping || m_finishedId >= id; });
        }
        ++m_handled;
        m_busy = false;
    }
    lock.unlock();
    // Stops a sound still playing; its callback runs before this returns.
    if (context)
        ca.contextDestroy(context);
}

QString findThemeSound(const QStringList &dataDirs, const QString &theme, const QString &eventId)
{
    static const char *const extensions[] = {".disabled", ".oga", ".ogg", ".wav"};
    for (QString name = eventId; !name.isEmpty();) {
        for (const QString &dir : dataDirs) {
            const QString stem =
                dir + QStringLiteral("/sounds/") + theme + QStringLiteral("/stereo/") + name;
            for (const char *extension : extensions) {
                const QFileInfo file(stem + QLatin1String(extension));
                if (!file.isFile())
                    continue;
                if (file.suffix() == QLatin1String("disabled"))
                    return {};
                return file.absoluteFilePath();
            }
        }
        const qsizetype dash = name.lastIndexOf(QLatin1Char('-'));
        name = dash > 0 ? name.left(dash) : QString();
    }
    return {};
}
