#pragma once

#include <QSize>

// The screens of the program, by the name code uses for them. Count is no screen: it is how many
// there are.
enum class ScreenId { FormAvvio, FormMenu, FormTrova, FormTrova2, Count };

// What the run's rules ask of the screens: show one, unload one, count the loaded ones. The
// widget kit's registry does the work; the rules never see a window.
class ScreenHost {
public:
    virtual ~ScreenHost() = default;

    // Creates the screen's slot if needed, loads it if it is not loaded (its Form_Load runs),
    // then makes its window visible. Returns at once.
    virtual void show(ScreenId id) = 0;
    // Unloads the screen: its window goes, its slot stays.
    virtual void unload(ScreenId id) = 0;
    virtual int loadedCount() const = 0;
    // The size in device pixels of a box of the design's designSize on the loaded screen's
    // window: scaled as the window scales the design, times its device pixel ratio.
    virtual QSize pixelSize(ScreenId id, QSize designSize) const = 0;
};
