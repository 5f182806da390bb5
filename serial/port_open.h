// Opening a port device for the table: read/write, no controlling terminal,
// non-blocking (waits go through poll), exclusive.
#pragma once

#include "portavel.h"

namespace portavel {

// On success *handle receives the new handle and the result is true. On
// failure *error receives errno: EBUSY when the device is already open here.
bool OpenPortDevice(const char* name, HANDLE* handle, int* error);

} // namespace portavel
