#pragma once
#include "link/Channel.h"
