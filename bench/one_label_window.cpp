// The least a Qt Widgets program can show: a window of the main window's
// first size holding one line of text. Start-up is timed against it.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(360, 267);
  new QLabel(QStringLiteral("Tambrel Generation"), &window);
  window.show();
  return QApplication::exec();
}
