#pragma once
#include "link/Port.h"
