// A bare Qt window of the title screen's size, for the start-up measurement to compare the game
// with: what any Qt Widgets program costs before it does anything of its own.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("bare window"));
  window.resize(330, 300);
  window.show();
  return QApplication::exec();
}
