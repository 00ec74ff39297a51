#pragma once

#include "editor/VoiceTake.h"

// A synthetic voice for a word that has none: the word spoken by eSpeak NG's Italian voice,
// offline (libespeak-ng, its voices in espeak-ng-data).
//
// How the editor uses it: for each word without a voice, in a worker thread, then prepareVoice as
// for a recorded take. eSpeak NG keeps global state, so calls from several threads take turns:
// each blocks until the ones before it are done (tens of milliseconds a word).
struct SpokenWord {
    Take take; // at eSpeak NG's own rate, 22050 Hz
    QString cause;
};
SpokenWord speakItalian(const QString &word);
