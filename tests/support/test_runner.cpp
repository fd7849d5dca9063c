// Every test class linked into one executable; the first argument names the one to run.
#include "support/TestRegistry.h"

int main(int argc, char** argv) {
    return marvoline::test::runNamedTest(argc, argv);
}
