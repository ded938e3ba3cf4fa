// Plain compaction: the page rewritten as shorter HTML, one pass over its tokens.
#pragma once

#include "engine.h"
