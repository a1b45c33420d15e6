#pragma once
// Errors of the drawing readers beyond the ones every part of the program has.
#include "core/Errors.h"

// A line or a field that the drawing text does not have.
class EListError : public tegaro::Exception {
public:
    using Exception::Exception;
};
