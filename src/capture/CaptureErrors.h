#pragma once
// The video control's errors, shown by the program's error box.
#include "common/Errors.h"

class ENoDriverException : public ECorvalux {
public:
    ENoDriverException() : ECorvalux("No capture driver selected") {}
};
class ENoCapWindowException : public ECorvalux {
public:
    ENoCapWindowException() : ECorvalux("Can not create capture window") {}
};
class ENotConnectException : public ECorvalux {
public:
    ENotConnectException() : ECorvalux("Can not connect capture driver with capture window") {}
};
class ENoOverlayException : public ECorvalux {
public:
    ENoOverlayException() : ECorvalux("Driver has no overlay mode") {}
};
