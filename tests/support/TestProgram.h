#pragma once

#include "app/ScreenFactory.h"
#include "core/Modulo1.h"
#include "tests/support/ScriptedPlatform.h"
#include "tests/support/TestFolder.h"
#include "ui/ScreenRegistry.h"

#include <QCoreApplication>

// The module with every screen registered, as the program's entry builds it.
struct TestProgram : Modulo1 {
    explicit TestProgram(Platform &platform)
        : Modulo1(platform),
          registry(*this, [this](ScreenId id) { return createScreen(*this, id); })
    {
        readAheadSizes = exercisePictureSizes();
    }
    ScreenRegistry registry;
};

// Destroys the windows that unloaded screens left for deletion.
inline void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// Word lists "parola1".."parolaN".
inline QStringList numberedWords(int count)
{
    QStringList list;
    for (int i = 1; i <= count; ++i)
        list << QStringLiteral("parola%1").arg(i);
    return list;
}

// A whole run: a folder with these words and a flat-colour picture each, the scripted platform
// (its first random values given), and the program started by Main on the start screen.
struct TestRun {
    enum Names { AsUsual, WindowsNames }; // LISTA.TXT, JPG/N.JPG
    explicit TestRun(const QStringList &words, QList<float> randoms = {}, Names names = AsUsual);
    ~TestRun();

    template <class T>
    T *screen(ScreenId id) const
    {
        return qobject_cast<T *>(m.registry.loaded(id));
    }
    // From the start screen to the menu, or from the menu to an exercise (the draws of its first
    // question given), with the beeps and draws counted from there.
    void open(ScreenId id, QList<float> randoms = {});

    TestFolder folder;
    ScriptedPlatform platform;
    TestProgram m{platform};
};
