// A link header that reaches up into the windows: the edge the check must refuse.
#pragma once
#include "adjust/panels/Window.h"
