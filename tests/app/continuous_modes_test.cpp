#include "tag_test_support.h"
