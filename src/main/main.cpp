#include "main/run_main.h"
#include "platform/system.h"

int main(int argc, char** argv) {
    std::unique_ptr<iz::System> sys = iz::make_system();
    return iz::run_main(*sys, argc, argv);
}
