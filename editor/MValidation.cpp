#include "editor/MValidation.h"

namespace kestrun {

int FilterNumericKey(int character)
{
    if ((character >= '0' && character <= '9') || character == kBackspaceCode)
        return character;
    return 0;
}

}  // namespace kestrun
