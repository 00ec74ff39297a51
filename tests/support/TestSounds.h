#pragma once

#include <QByteArray>

// Sounds made by the tests and the benchmark: 16-bit signed samples in the machine's order.

// Mono: a sine of freq Hz at amplitude (a fraction of full scale), ms long.
QByteArray sinePcm(int ms, double amplitude, int rate, double freq = 440);
// The root mean square of mono samples from fromMs to toMs (to the end when toMs is 0), as a
// fraction of full scale.
double rmsOf(const QByteArray &pcm, int rate, int fromMs = 0, int toMs = 0);
