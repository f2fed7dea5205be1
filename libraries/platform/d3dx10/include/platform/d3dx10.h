#pragma once
// The extension library: every area of it in one header.

#include "platform/d3dx10math.h"
#include "platform/d3dx10tex.h"
#include "platform/d3dx10effect.h"
#include "platform/d3dx10mesh.h"
#include "platform/d3dx10font.h"
