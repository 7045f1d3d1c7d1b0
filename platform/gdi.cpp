// Linux: DeleteObject over every kind of GDI object the platform makes. Each
// maker says how its objects are freed; any other handle, a stock object or
// one deleted already, is refused, as Windows refuses what is no object.
#include "gdi.h"

#include <map>

static std::map<HGDIOBJ, void (*)(HGDIOBJ)> LiveObjects; // and how each is freed

void TrackGdiObject(HGDIOBJ object, void (*destroy)(HGDIOBJ))
{
    LiveObjects[object] = destroy;
}

BOOL WINAPI DeleteObject(HGDIOBJ object)
{
    auto found = LiveObjects.find(object);
    if (found == LiveObjects.end())
        return FALSE;
    void (*destroy)(HGDIOBJ) = found->second;
    LiveObjects.erase(found);
    destroy(object);
    return TRUE;
}
