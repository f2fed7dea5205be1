#pragma once

#include "sync/device.h"
#include "sync/timer.h"
#include "sync/track.h"
