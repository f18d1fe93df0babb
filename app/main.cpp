#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow frame;
    frame.setWindowTitle("Korl");
    frame.resize(1200, 800);
    frame.show();
    return app.exec();
}
