// The floor for the window's start-up: a bare Qt window that quits once it
// has first painted, as `tarnwick --quit-after-first-paint` does; 430 x 404
// (the defined panel) unless a size is given.
//   /usr/bin/time -v build/default/bench/bare_window [WIDTH HEIGHT]
//   /usr/bin/time -v build/default/app/tarnwick --simulate --no-journal --quit-after-first-paint
#include <string>

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

class BareWindow : public QWidget {
 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::Paint && !painted_) {
      painted_ = true;
      QTimer::singleShot(0, qApp, &QApplication::quit);
    }
    return QWidget::event(event);
  }

 private:
  bool painted_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  BareWindow window;
  window.resize(argc == 3 ? std::stoi(argv[1]) : 430, argc == 3 ? std::stoi(argv[2]) : 404);
  window.show();
  return QApplication::exec();
}
