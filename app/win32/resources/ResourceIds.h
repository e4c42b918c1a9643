/* Resource identifiers, shared by the resource scripts and the program. */
#pragma once

#define VUZ_APP_ICON 1
#define VUZ_GREEN_BALL_BITMAP 201
#define VUZ_GRAY_BALL_BITMAP 202
