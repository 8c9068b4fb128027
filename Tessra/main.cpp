#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessra"));
  QLabel window(QStringLiteral("Tessra"));
  window.setAlignment(Qt::AlignCenter);
  window.resize(320, 120);
  window.setWindowTitle(QStringLiteral("Tessra"));
  window.show();
  return QApplication::exec();
}
