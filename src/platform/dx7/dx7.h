// Everything of our DirectDraw 7 / Direct3D 7 subset in one include.
#pragma once

#include "platform/dx7/direct3d7.h"
#include "platform/dx7/direct3d_device7.h"
#include "platform/dx7/direct_draw7.h"
#include "platform/dx7/direct_draw_surface7.h"
#include "platform/dx7/direct_x7.h"
#include "platform/dx7/dx7_types.h"
#include "platform/dx7/enumerations.h"
#include "platform/platform_window.h"
