// The ActiveX control side of the driver object: the interfaces a container needs to embed
// it, and TAxCtrl, the control's 40 x 40 window with the library's bitmap.
#pragma once

#include <ocidl.h>
#include <windows.h>

// Implements the control interfaces for the object `outer`, to which it delegates IUnknown:
// IOleObject, IOleInPlaceObject (IOleWindow), IOleControl, IViewObject2 (IViewObject),
// IPersistStreamInit (IPersist) and ISpecifyPropertyPages.
class TOleControl {
public:
    explicit TOleControl(IUnknown* outer);
    ~TOleControl();
    TOleControl(const TOleControl&) = delete;
    TOleControl& operator=(const TOleControl&) = delete;

    // The interface for `iid` among the control interfaces, or nullptr; not AddRef'ed.
    void* Find(REFIID iid);

private:
    struct TImpl;
    TImpl* Impl;
};
