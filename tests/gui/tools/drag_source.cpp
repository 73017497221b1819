// A drag source for the screenshots: a small window at the screen's top left whose press
// starts dragging the file named on the command line, as a file manager would.
#include <QApplication>
#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

namespace {

class DragSource : public QLabel {
  public:
    explicit DragSource(const QString& path) : QLabel(path), path_(path) {
        setWindowFlag(Qt::FramelessWindowHint);
        setGeometry(10, 10, 240, 60);
    }

  protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* drag = new QDrag(this);
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(path_)});
        drag->setMimeData(mime);
        drag->exec(Qt::CopyAction);
    }

  private:
    QString path_;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    DragSource source(QString::fromLocal8Bit(argv[1]));
    source.show();
    return QApplication::exec();
}
