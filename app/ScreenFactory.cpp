#include "app/ScreenFactory.h"

#include "exercises/FormTrova.h"
#include "exercises/FormTrova2.h"
#include "screens/FormAvvio.h"
#include "screens/FormMenu.h"

Screen *createScreen(Modulo1 &module, ScreenId id)
{
    switch (id) {
    case ScreenId::FormAvvio:
        return new FormAvvio(module);
    case ScreenId::FormMenu:
        return new FormMenu(module);
    case ScreenId::FormTrova:
        return new FormTrova(module);
    case ScreenId::FormTrova2:
        return new FormTrova2(module);
    case ScreenId::Count:
        break;
    }
    return nullptr;
}

QList<QSize> exercisePictureSizes() { return {FormTrova::PictureSize, FormTrova2::PictureSize}; }
