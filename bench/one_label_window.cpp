// The least a Qt Widgets program can show: a window of the main window's
// first size holding one line of text. Start-up is timed against it.
// Built a second time with SQLite linked in (TAMBREL_LINK_SQLITE) to weigh
// what loading that library adds to the first paint, the library alone.
#include <QApplication>
#include <QLabel>
#include <QWidget>

#ifdef TAMBREL_LINK_SQLITE
#include <sqlite3.h>
// Referenced, so that the linker keeps the library, but never called.
const char* (*volatile keepSqlite)() = &sqlite3_libversion;
#endif

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.resize(360, 267);
  new QLabel(QStringLiteral("Tambrel Generation"), &window);
  window.show();
  return QApplication::exec();
}
