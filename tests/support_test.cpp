#include <gtest/gtest.h>

#include "animate.h"
