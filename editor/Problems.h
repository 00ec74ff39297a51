#pragma once

#include "core/Settings.h"
#include "editor/Entry.h"

#include <QHash>
#include <QList>
#include <QString>

// Something about the list a teacher should know, in Italian. A blocking problem is one with which
// the folder would not work, and saving waits until it is fixed.
struct Problem {
    int row = -1; // the entry concerned, from 0; -1 for the list as a whole
    bool blocking = false;
    QString text;
    bool info = false; // only for the teacher to know: neither blocking nor a warning
    bool operator==(const Problem &) const = default;
};

// What the editor found of a row's voice: its length, or why it cannot be heard.
struct VoiceCheck {
    qint64 ms = 0;
    QString cause;
};

// Every problem of the list with its settings, rows in order, the list's own last. unreadable
// holds the rows whose picture cannot be read, with the cause; voices what each row's voice is.
QList<Problem> listProblems(const QList<Entry> &entries, const ExerciseFacts &facts,
                            const Settings &settings = {},
                            const QHash<int, QString> &unreadable = {},
                            const QHash<int, VoiceCheck> &voices = {});

bool blocksSaving(const QList<Problem> &problems);
