// The drawing interface lives with the fonts in base, which draw through it;
// this header stays for code that includes it from here.
#pragma once

#include "base/OrvGraphic.h"
