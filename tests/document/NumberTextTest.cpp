#include "tests/document/DocumentFixture.h"
