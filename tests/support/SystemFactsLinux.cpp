// On Linux the platform is the layer of this project, never Wine.
#include "support/SystemFacts.h"

bool UnderWine() {
    return false;
}
