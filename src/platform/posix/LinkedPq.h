#pragma once
// The PqApi table filled from the libpq this program is linked with.

#include "platform/PqApi.h"

const PqApi& LinkedPqApi();
