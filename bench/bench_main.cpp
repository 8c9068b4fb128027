// Runs benchmarks that need no display.
#include "bench/bars.h"

int main(int argc, char** argv) { return tessra::bench::runBenchmarks(argc, argv); }
