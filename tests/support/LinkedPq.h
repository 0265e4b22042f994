#pragma once
// The libpq function table filled from the libpq the program is linked
// with, for tests that talk to a real server through the core.

#include "platform/PqApi.h"

const PqApi& LinkedPqApi();
