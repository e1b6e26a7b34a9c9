// velorin: the desktop program.
#include "app/Velorin.h"

int main(int argc, char** argv) {
    return velorin::app::runVelorin(argc, argv);
}
