// Runs window benchmarks inside a QApplication on the session's X display, as the program runs.
#include <QApplication>

#include "bench/bars.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication application(argc, argv);
  return tessra::bench::runBenchmarks(argc, argv);
}
