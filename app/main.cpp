// velorin: the desktop program.
#include "app/Velorin.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const int result = velorin::app::runVelorin(argc, argv);
    if (velorin::app::readerAbandoned()) {
        // A reader still blocked in the device keeps its adapter session, but it may yet log: end
        // here, before the static destructors take the logging away.
        std::fflush(nullptr);
        std::_Exit(result);
    }
    return result;
}
